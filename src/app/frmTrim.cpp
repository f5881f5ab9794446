#include "app/frmTrim.h"

#include "app/TrimWaveform.h"
#include "audio/AudioEdit.h"
#include "platform/audio/AudioDecoder.h"

#include <QBoxLayout>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QThread>

#include <cmath>

namespace parlivo {

namespace {

constexpr int PeakSlices = 4000;

struct LoadedAudio
{
    std::vector<float> samples;
    std::vector<float> peaks;
    int rate = 0;
    qint64 durationMs = 0;
    QString error;
};

LoadedAudio loadAudio(const QString &path)
{
    LoadedAudio out;
    out.error = tooLargeToEdit(path);
    if (!out.error.isEmpty())
        return out;
    DecodedMono decoded = decodeAudioFileMono(path, LongestEditableMs);
    if (!decoded.ok() || decoded.samples.empty()) {
        out.error = decoded.ok() ? QStringLiteral("the audio file holds no sound") : decoded.error;
        return out;
    }
    out.samples = std::move(decoded.samples);
    out.rate = decoded.sampleRate;
    out.durationMs = qint64(out.samples.size()) * 1000 / decoded.sampleRate;
    const size_t n = out.samples.size();
    const size_t slices = std::min<size_t>(PeakSlices, n);
    out.peaks.assign(slices, 0.0f);
    for (size_t i = 0; i < n; ++i) {
        float &peak = out.peaks[i * slices / n];
        peak = std::max(peak, std::fabs(out.samples[i]));
    }
    return out;
}

QString seconds(qint64 ms)
{
    return QString::number(double(ms) / 1000.0, 'f', 2);
}

} // namespace

frmTrim::frmTrim(const QString &scratchFolder, QWidget *parent) : QDialog(parent), m_scratchFolder(scratchFolder)
{
    setObjectName(QStringLiteral("frmTrim"));
    setWindowTitle(tr("Trim the message"));
    auto *layout = new QVBoxLayout(this);
    auto *heading = new QLabel(tr("Drag the handles to where the message should start and end, or move them "
                                  "with the arrow keys (Shift for bigger steps, Tab for the end handle)."),
                               this);
    heading->setWordWrap(true);
    layout->addWidget(heading);

    waveform = new TrimWaveform(this);
    waveform->setObjectName(QStringLiteral("waveform"));
    heading->setBuddy(waveform);
    layout->addWidget(waveform, 1);

    lblSelection = new QLabel(this);
    lblSelection->setObjectName(QStringLiteral("lblSelection"));
    layout->addWidget(lblSelection);
    lblNote = new QLabel(this);
    lblNote->setObjectName(QStringLiteral("lblNote"));
    lblNote->setWordWrap(true);
    layout->addWidget(lblNote);

    auto *row = new QHBoxLayout;
    auto button = [this, row](const char *name, const QString &text) {
        auto *b = new QPushButton(text, this);
        b->setObjectName(QString::fromLatin1(name));
        b->setAutoDefault(false);
        row->addWidget(b);
        return b;
    };
    cmdPlaySelection = button("cmdPlaySelection", tr("Play selection"));
    cmdStopPlaying = button("cmdStopPlaying", tr("Stop"));
    cmdTrim = button("cmdTrim", tr("Trim"));
    cmdUndo = button("cmdUndo", tr("Undo"));
    row->addStretch(1);
    cmdClose = button("cmdClose", tr("Close"));
    layout->addLayout(row);

    connect(waveform, &TrimWaveform::selectionChanged, this, &frmTrim::showSelection);
    connect(cmdPlaySelection, &QPushButton::clicked, this, &frmTrim::playSelection);
    connect(cmdStopPlaying, &QPushButton::clicked, this, &frmTrim::stopRequested);
    connect(cmdTrim, &QPushButton::clicked, this, [this] {
        Q_EMIT stopRequested();
        Q_EMIT trimRequested(waveform->startMs(), waveform->endMs());
    });
    connect(cmdUndo, &QPushButton::clicked, this, [this] {
        Q_EMIT stopRequested();
        Q_EMIT undoRequested();
    });
    connect(cmdClose, &QPushButton::clicked, this, &QDialog::close);
    connect(this, &QDialog::finished, this, &frmTrim::stopRequested);
    updateButtons();
}

frmTrim::~frmTrim()
{
    // Closing the window stopped the playing; the selection's file has served.
    if (!m_selectionFile.isEmpty())
        QFile::remove(m_selectionFile);
    if (m_loader) {
        m_loader->wait();
        delete m_loader;
    }
}

void frmTrim::showAudio(const QString &path)
{
    m_path = path;
    const quint64 serial = ++m_loadSerial;
    if (m_loader) {
        m_loader->wait();
        delete m_loader;
    }
    lblNote->setText(tr("Reading the audio..."));
    auto result = std::make_shared<LoadedAudio>();
    m_loader = QThread::create([path, result] { *result = loadAudio(path); });
    connect(m_loader, &QThread::finished, this, [this, serial, result] {
        if (serial != m_loadSerial)
            return;
        m_loader->deleteLater();
        m_loader = nullptr;
        if (!result->error.isEmpty()) {
            m_samples.clear();
            waveform->setAudio({}, 0);
            lblNote->setText(tr("The audio cannot be read: %1").arg(result->error));
        } else {
            m_samples = std::move(result->samples);
            m_rate = result->rate;
            waveform->setAudio(std::move(result->peaks), result->durationMs);
            lblNote->clear();
        }
        updateButtons();
        Q_EMIT audioShown();
    });
    m_loader->start();
    updateButtons();
}

void frmTrim::setEditing(bool editing)
{
    m_editing = editing;
    if (editing)
        lblNote->setText(tr("Trimming..."));
    updateButtons();
}

void frmTrim::setCanUndo(bool canUndo)
{
    m_canUndo = canUndo;
    updateButtons();
}

void frmTrim::updateButtons()
{
    const bool ready = !m_loader && !m_editing && !m_samples.empty();
    cmdPlaySelection->setEnabled(ready);
    cmdTrim->setEnabled(ready && (waveform->startMs() > 0 || waveform->endMs() < waveform->durationMs()));
    cmdUndo->setEnabled(!m_loader && !m_editing && m_canUndo);
}

void frmTrim::showSelection(qint64 startMs, qint64 endMs)
{
    lblSelection->setText(tr("Keeps %1 s to %2 s: %3 s of %4 s")
                              .arg(seconds(startMs), seconds(endMs), seconds(endMs - startMs),
                                   seconds(waveform->durationMs())));
    updateButtons();
}

void frmTrim::playSelection()
{
    if (m_samples.empty() || m_rate <= 0)
        return;
    const qint64 from = std::min<qint64>(qint64(m_samples.size()), waveform->startMs() * m_rate / 1000);
    const qint64 to = std::clamp<qint64>(waveform->endMs() * m_rate / 1000, from, qint64(m_samples.size()));
    // A name of its own each time: the player may still hold the previous one open.
    static int played = 0;
    const QString wav = m_scratchFolder + QStringLiteral("/selection_%1.wav").arg(++played);
    if (!writeWavFile(wav, m_samples.data() + from, to - from, m_rate)) {
        lblNote->setText(tr("The selection could not be prepared for playing."));
        return;
    }
    Q_EMIT stopRequested();
    Q_EMIT playRequested(wav);
    // The player has let go of the previous selection by now (it read the new one in its place).
    if (!m_selectionFile.isEmpty())
        QFile::remove(m_selectionFile);
    m_selectionFile = wav;
}

} // namespace parlivo
