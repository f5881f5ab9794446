// Text to speech: voices, speaking aloud with the spoken word marked, conversion to the message's audio.
#include "frmMAIN.h"

#include "audio/Captions.h"
#include "audio/SpeechText.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextCursor>

#include <utility>

namespace parlivo {

struct frmMAIN::SpeechState
{
    // The text handed to the component now held in tts; its word positions index it.
    QString spokenText;
    // The conversion's text as the field showed it, and its captions once timed.
    QString convertedText;
    SpokenCaptions timedCaptions;
};

namespace {

const char *const OutputFormats[] = {"WAV", "MP3", "WMA", "OGG", "VOX", "AU", "AIFF", "MP4", "FLAC"};

// Makes the speech component and routes its notifications to the window. Releasing it
// (resetting tts) is all it takes to stop hearing from it.
std::unique_ptr<SpeechEngine> createSpeechComponent(frmMAIN &w)
{
    if (!w.platform().createSpeechEngine)
        return nullptr;
    std::unique_ptr<SpeechEngine> engine = w.platform().createSpeechEngine(QString::fromLatin1(SpeechEngineClassId));
    if (!engine)
        return nullptr;
    SpeechEngine *e = engine.get();
    QObject::connect(e, &SpeechEngine::OnTTSStart, &w, &frmMAIN::tts_OnTTSStart);
    QObject::connect(e, &SpeechEngine::OnTTSWord, &w, &frmMAIN::tts_OnTTSWord);
    QObject::connect(e, &SpeechEngine::OnTTSEnd, &w, &frmMAIN::tts_OnTTSEnd);
    QObject::connect(e, &SpeechEngine::fileWordTimes, &w, [&w](const QVector<TimedWord> &words, qint64 audioMs) {
        const QString &spoken = w.speech->spokenText;
        const QVector<CaptionCue> cues = captionCues(spoken, words, audioMs);
        w.speech->timedCaptions = cues.isEmpty() ? SpokenCaptions{}
                                                 : SpokenCaptions{webVttOf(cues), w.speech->convertedText};
    });
    QObject::connect(e, &SpeechEngine::speakToFileFinished, &w, [&w](bool ok, const QString &error) {
        // The message has audio only once the file is really there.
        if (ok) {
            w.draft.i_recorded = true;
            w.draft.my_captions = std::exchange(w.speech->timedCaptions, {});
        } else
            w.reportFailure(QStringLiteral("Text 2 Speech conversion failed: ") + error);
    });
    QObject::connect(e, &SpeechEngine::speakFailed, &w, [&w](const QString &error) {
        w.setStatus(QStringLiteral("Text 2 Speech could not play: ") + error);
    });
    return engine;
}

void applyOutputFormat(frmMAIN &w)
{
    w.tts->setOutputFormat(w.Combo3->currentIndex());
    w.Combo1->clear();
    const int n = w.tts->optionCount();
    for (int i = 0; i < n; ++i) {
        w.tts->selectOption(i);
        w.Combo1->addItem(w.tts->optionName());
    }
    w.Combo1->setCurrentIndex(0);
}

void applySettings(frmMAIN &w)
{
    w.tts->setSetting(1, w.HScroll1->value());
    w.tts->setSetting(2, w.HScroll3->value());
    w.tts->setSetting(3, w.HScroll2->value());
}

} // namespace

void frmMAIN::setupSpeechPanel()
{
    speech = std::make_shared<SpeechState>();
    for (const char *format : OutputFormats)
        Combo3->addItem(QString::fromLatin1(format));
    // The list has no position until the speech set-up shows one.
    Combo3->setCurrentIndex(-1);
    // Voice names are longer than the list is wide; let the open list show them whole.
    Combo2->view()->setMinimumWidth(240);
}

void frmMAIN::setupSpeech()
{
    if (!speech)
        speech = std::make_shared<SpeechState>();
    Combo3->setCurrentIndex(0);
    tts = createSpeechComponent(*this);
    if (tts) {
        applyOutputFormat(*this);
        tts->selectVoice(0);
        Combo2->clear();
        const int voices = tts->voiceCount();
        for (int i = 0; i < voices; ++i)
            Combo2->addItem(tts->voiceName(i));
    }
    Combo2->setCurrentIndex(Combo2->count() > 0 ? 0 : -1);
    Combo3->setCurrentIndex(1);
}

void frmMAIN::Button15_Click()
{
    draft.i_recorded = false;
    draft.my_captions = {};
    forgetAudioEdits();
    tts.reset();

    // The path may name an MP3 the user chose; that file is theirs, so the conversion
    // gets a fresh working file instead, and only working files are ever deleted.
    const QString temp = m_folders.tempFolder();
    if (!isAudioWorkingFile(txtRecFilename->text(), temp))
        IssueAudioFileName();
    if (isAudioWorkingFile(draft.my_recording, temp))
        QFile::remove(draft.my_recording);

    Combo1->setCurrentIndex(0);
    tts = createSpeechComponent(*this);
    if (!tts) {
        reportFailure(QStringLiteral("Text 2 Speech conversion failed: the speech engine is not available."));
        return;
    }
    if (tts->outputFormat() != Combo3->currentIndex())
        applyOutputFormat(*this);
    draft.my_recording = txtRecFilename->text();
    tts->selectOption(Combo1->currentIndex());
    tts->selectVoice(Combo2->currentIndex());
    applySettings(*this);
    speech->convertedText = Text4->toPlainText();
    speech->spokenText = speechTextOf(speech->convertedText);
    speech->timedCaptions = {};
    tts->speakToFile(speech->spokenText, draft.my_recording, 1);
    Combo1->setCurrentIndex(0);
}

void frmMAIN::Button16_Click()
{
    tts.reset();
    tts = createSpeechComponent(*this);
    if (!tts) {
        setStatus(QStringLiteral("Text 2 Speech could not play: the speech engine is not available."));
        return;
    }
    tts->selectVoice(Combo2->currentIndex());
    applySettings(*this);
    speech->spokenText = speechTextOf(Text4->toPlainText());
    tts->speak(speech->spokenText, 3);
}

void frmMAIN::Button19_Click()
{
    if (tts)
        tts->stop();
    Combo1->setCurrentIndex(0);
}

void frmMAIN::Combo1_Click()
{
    Combo1->setCurrentIndex(0);
}

void frmMAIN::tts_OnTTSStart()
{
    setStatus(QStringLiteral("Text 2 Speech engine working..."));
}

void frmMAIN::tts_OnTTSWord(int nStart, int nLength)
{
    const QString &spoken = speech ? speech->spokenText : QString();
    // The user may have edited the text since it was handed over; stay inside it.
    const int last = Text4->document()->characterCount() - 1;
    const int start = qBound(0, fieldPosition(spoken, nStart), last);
    const int end = qBound(start, fieldPosition(spoken, nStart + qMax(0, nLength)), last);
    QTextCursor cursor(Text4->document());
    cursor.setPosition(start);
    cursor.setPosition(end, QTextCursor::KeepAnchor);
    Text4->setTextCursor(cursor);
}

void frmMAIN::tts_OnTTSEnd()
{
    QTextCursor cursor = Text4->textCursor();
    cursor.setPosition(cursor.selectionStart());
    Text4->setTextCursor(cursor);
    setStatus(QStringLiteral("Text 2 Speech engine work done!"));
}

} // namespace parlivo
