#include "platform/speech/EspeakEngine.h"

#include "platform/speech/EspeakOutput.h"
#include "platform/speech/EspeakWords.h"
#include "platform/audio/PcmOutput.h"

#include <QMetaObject>
#include <QTimer>

#include <espeak-ng/speak_lib.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <future>
#include <mutex>
#include <thread>

namespace parlivo {

namespace {

using CancelFlag = std::shared_ptr<std::atomic<bool>>;

struct SynthResult
{
    bool ok = false;
    QString error;
    QByteArray pcm;
    qint64 samples = 0;   // length of the synthesised audio, kept after pcm is written out
    QVector<SpokenWord> words;
};

struct Request
{
    CancelFlag cancelled;
    QString text;
    QString voiceId;
    int rateWpm = 175, volume = 100, pitch = 50;
    bool toFile = false;
    QString path;
    int format = 0, option = 0;
    std::function<void(SynthResult)> done;   // called on the worker thread
};

// What the synthesiser's callback fills while one text is synthesised.
struct SynthRun
{
    QByteArray pcm;
    struct Event { int textPosition; qint64 sample; };
    std::vector<Event> events;
    const std::atomic<bool> *cancelled = nullptr;
};

std::atomic<bool> g_shuttingDown{false};
SynthRun *g_run = nullptr;   // touched only on the worker thread

int synthCallback(short *wav, int numSamples, espeak_EVENT *events)
{
    SynthRun *run = g_run;
    if (!run)
        return 1;
    if (wav && numSamples > 0)
        run->pcm.append(reinterpret_cast<const char *>(wav), qsizetype(numSamples) * 2);
    for (espeak_EVENT *e = events; e && e->type != espeakEVENT_LIST_TERMINATED; ++e) {
        if (e->type != espeakEVENT_WORD)
            continue;
        const qint64 sample = e->sample > 0 ? e->sample : qint64(e->audio_position) * EspeakEngine::SampleRate / 1000;
        run->events.push_back({e->text_position, sample});
    }
    // Returning 1 makes the synthesiser abandon the text at once; cancelling through its
    // own call does not reach a text it is already working on.
    return (run->cancelled->load() || g_shuttingDown.load()) ? 1 : 0;
}

// Parses the synthesiser's language list: a priority byte, then a name, repeated, ending
// with an empty name.
QString firstLanguage(const char *languages)
{
    if (!languages || !languages[0])
        return {};
    return QString::fromLatin1(languages + 1);
}

class Service
{
public:
    static Service &instance()
    {
        static Service service;
        return service;
    }

    bool available()
    {
        m_ready.wait();
        return m_rate > 0;
    }

    const QVector<SpeechVoice> &voices()
    {
        m_ready.wait();
        return m_voices;
    }

    void submit(Request request)
    {
        {
            std::lock_guard lock(m_mutex);
            m_queue.push_back(std::move(request));
        }
        m_wake.notify_one();
    }

    ~Service()
    {
        g_shuttingDown = true;
        {
            std::lock_guard lock(m_mutex);
            m_quit = true;
        }
        m_wake.notify_one();
        if (m_thread.joinable())
            m_thread.join();
    }

private:
    Service()
    {
        m_ready = m_readyPromise.get_future().share();
        m_thread = std::thread([this] { run(); });
    }

    void run()
    {
        m_rate = espeak_Initialize(AUDIO_OUTPUT_SYNCHRONOUS, 100, nullptr, 0);
        if (m_rate > 0) {
            espeak_SetSynthCallback(synthCallback);
            loadVoices();
        }
        m_readyPromise.set_value();
        for (;;) {
            Request request;
            {
                std::unique_lock lock(m_mutex);
                m_wake.wait(lock, [this] { return m_quit || !m_queue.empty(); });
                if (m_quit)
                    break;
                request = std::move(m_queue.front());
                m_queue.pop_front();
            }
            perform(request);
        }
        if (m_rate > 0)
            espeak_Terminate();
    }

    void loadVoices()
    {
        const espeak_VOICE **list = espeak_ListVoices(nullptr);
        for (int i = 0; list && list[i]; ++i) {
            const espeak_VOICE *v = list[i];
            const QString id = QString::fromUtf8(v->identifier ? v->identifier : "");
            // Voices of the other synthesis back end need data files that are not installed.
            if (id.isEmpty() || id.startsWith(QLatin1String("mb/")))
                continue;
            QString name = QString::fromUtf8(v->name ? v->name : "").replace(QLatin1Char('_'), QLatin1Char(' '));
            if (name.isEmpty())
                name = id;
            m_voices.append({id, name, firstLanguage(v->languages)});
        }
        // The window speaks English, so its voices come first with the synthesiser's own
        // default at the very top; the rest follow by name. The order never depends on
        // how the data files happen to be listed.
        auto rank = [](const SpeechVoice &v) {
            if (v.identifier == QLatin1String("gmw/en"))
                return 0;
            return v.language == QLatin1String("en") || v.language.startsWith(QLatin1String("en-")) ? 1 : 2;
        };
        std::sort(m_voices.begin(), m_voices.end(), [&](const SpeechVoice &a, const SpeechVoice &b) {
            const int ra = rank(a), rb = rank(b);
            if (ra != rb)
                return ra < rb;
            const int byName = a.name.compare(b.name, Qt::CaseInsensitive);
            if (byName != 0)
                return byName < 0;
            return a.identifier < b.identifier;
        });
    }

    void perform(Request &request)
    {
        SynthResult result;
        auto isCancelled = [&request] { return request.cancelled->load() || g_shuttingDown.load(); };
        if (isCancelled())
            return;   // its handle has moved on; nobody waits for this result
        if (m_rate <= 0) {
            result.error = QStringLiteral("The speech synthesiser could not start.");
        } else if (request.toFile && !speechFormatWritable(request.format)) {
            QString error;
            writeSpeechFile(request.path, request.format, request.option, {}, m_rate, {}, &error);
            result.error = error;
        } else if (request.toFile && request.text.trimmed().isEmpty()) {
            result.error = QStringLiteral("There is no text to convert.");
        } else {
            synthesise(request, result);
            if (result.ok && request.toFile) {
                QString error;
                result.ok = writeSpeechFile(request.path, request.format, request.option, result.pcm, m_rate,
                                            isCancelled, &error);
                result.error = error;
                result.pcm.clear();
            }
        }
        if (isCancelled())
            return;
        request.done(std::move(result));
    }

    void synthesise(Request &request, SynthResult &result)
    {
        const QByteArray voice = (request.voiceId.isEmpty() ? QStringLiteral("gmw/en") : request.voiceId).toUtf8();
        if (espeak_SetVoiceByName(voice.constData()) != EE_OK && espeak_SetVoiceByName("en") != EE_OK) {
            result.error = QStringLiteral("The voice %1 could not be loaded.").arg(request.voiceId);
            return;
        }
        // A voice change resets nothing we rely on, but these are set every time so no
        // setting leaks from one request into the next.
        espeak_SetParameter(espeakRATE, request.rateWpm, 0);
        espeak_SetParameter(espeakVOLUME, request.volume, 0);
        espeak_SetParameter(espeakPITCH, request.pitch, 0);

        SynthRun run;
        run.cancelled = request.cancelled.get();
        g_run = &run;
        const QByteArray utf8 = request.text.toUtf8();
        const espeak_ERROR status = espeak_Synth(utf8.constData(), size_t(utf8.size()) + 1, 0, POS_CHARACTER, 0,
                                                 espeakCHARS_UTF8 | espeakENDPAUSE, nullptr, nullptr);
        g_run = nullptr;
        if (status != EE_OK) {
            result.error = QStringLiteral("The speech synthesiser failed (code %1).").arg(int(status));
            return;
        }
        if (request.cancelled->load()) {
            result.error = QStringLiteral("The conversion was stopped.");
            return;
        }
        WordMapper mapper(request.text);
        const qint64 totalSamples = run.pcm.size() / 2;
        for (const SynthRun::Event &e : run.events) {
            SpokenWord word;
            if (!mapper.map(e.textPosition, &word.start, &word.length))
                continue;
            word.sample = std::clamp<qint64>(e.sample, 0, totalSamples);
            result.words.append(word);
        }
        result.samples = totalSamples;
        result.pcm = std::move(run.pcm);
        result.ok = true;
    }

    std::thread m_thread;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<Request> m_queue;
    bool m_quit = false;
    std::promise<void> m_readyPromise;
    std::shared_future<void> m_ready;
    int m_rate = 0;
    QVector<SpeechVoice> m_voices;
};

// The worker's way back to an engine object. The object clears target as it goes away,
// under the same lock the worker posts under, so nothing is posted to a dead object.
struct Channel
{
    std::mutex mutex;
    EspeakEngine *target = nullptr;

    // call(EspeakEngine *) runs on the engine's thread, if the engine still exists then.
    template<typename F>
    void post(F &&call)
    {
        std::lock_guard lock(mutex);
        if (EspeakEngine *t = target)
            QMetaObject::invokeMethod(t, [t, call = std::forward<F>(call)] { call(t); }, Qt::QueuedConnection);
    }
};

} // namespace

struct EspeakEngine::Impl
{
    int format = SpeechFormat::WAV;
    int option = 0;
    int voice = -1;
    int rate = 0, volume = 100, pitch = 0;

    std::shared_ptr<Channel> channel = std::make_shared<Channel>();
    CancelFlag cancelled;
    quint64 generation = 0;
    bool started = false;       // OnTTSStart sent and OnTTSEnd not yet
    bool filePending = false;   // a speakToFile awaits its outcome

    PcmOutput *output = nullptr;
    QTimer *poll = nullptr;
    QVector<SpokenWord> words;
    int nextWord = 0;
};

EspeakEngine::EspeakEngine(QObject *parent) : SpeechEngine(parent), d(std::make_unique<Impl>())
{
    d->channel->target = this;
    d->poll = new QTimer(this);
    d->poll->setInterval(10);
    connect(d->poll, &QTimer::timeout, this, &EspeakEngine::pollPlayback);
}

EspeakEngine::~EspeakEngine()
{
    // A released component says nothing more, not even that its speech ended.
    blockSignals(true);
    {
        std::lock_guard lock(d->channel->mutex);
        d->channel->target = nullptr;
    }
    if (d->cancelled)
        d->cancelled->store(true);
    if (d->output) {
        QObject::disconnect(d->output, nullptr, this, nullptr);
        d->output->stop();
    }
}

bool EspeakEngine::available()
{
    return Service::instance().available();
}

QVector<SpeechVoice> EspeakEngine::voices()
{
    return Service::instance().voices();
}

int EspeakEngine::voiceNumber(const QString &identifier)
{
    const QVector<SpeechVoice> &list = Service::instance().voices();
    for (int i = 0; i < list.size(); ++i)
        if (list[i].identifier.compare(identifier, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

int EspeakEngine::voiceCount()
{
    return int(Service::instance().voices().size());
}

QString EspeakEngine::voiceName(int voice)
{
    const QVector<SpeechVoice> &list = Service::instance().voices();
    return voice >= 0 && voice < list.size() ? list[voice].name : QString();
}

void EspeakEngine::selectVoice(int voice)
{
    d->voice = voice;
}

int EspeakEngine::outputFormat()
{
    return d->format;
}

void EspeakEngine::setOutputFormat(int format)
{
    d->format = format;
    d->option = 0;
}

int EspeakEngine::optionCount()
{
    return int(speechFormatOptions(d->format).size());
}

void EspeakEngine::selectOption(int option)
{
    if (option >= 0 && option < optionCount())
        d->option = option;
}

QString EspeakEngine::optionName()
{
    return speechFormatOptions(d->format).value(d->option);
}

void EspeakEngine::setSetting(int which, int value)
{
    switch (which) {
    case 1: d->rate = value; break;
    case 2: d->volume = value; break;
    case 3: d->pitch = value; break;
    default: break;
    }
}

static Request makeRequest(const QString &text, int voice, int rate, int volume, int pitch)
{
    Request r;
    r.cancelled = std::make_shared<std::atomic<bool>>(false);
    r.text = text;
    const QVector<SpeechVoice> &list = Service::instance().voices();
    if (voice >= 0 && voice < list.size())
        r.voiceId = list[voice].identifier;
    else if (!list.isEmpty())
        r.voiceId = list.first().identifier;
    r.rateWpm = speechRateWpm(rate);
    r.volume = speechVolume(volume);
    r.pitch = speechPitch(pitch);
    return r;
}

void EspeakEngine::abandonCurrentWork()
{
    if (d->cancelled)
        d->cancelled->store(true);
    if (d->output)
        d->output->stop();
    d->poll->stop();
    d->started = false;
    d->filePending = false;
}

void EspeakEngine::speak(const QString &text, int)
{
    // A new text replaces whatever this object was doing, without an end notification
    // for the one it replaces: the listener hears one continuous piece of work.
    abandonCurrentWork();

    Request r = makeRequest(text, d->voice, d->rate, d->volume, d->pitch);
    d->cancelled = r.cancelled;
    const quint64 generation = ++d->generation;
    std::shared_ptr<Channel> channel = d->channel;
    r.done = [channel, generation](SynthResult result) {
        channel->post([generation, result = std::move(result)](EspeakEngine *t) {
            t->deliverSpoken(generation, result.ok, result.error, result.pcm, result.words);
        });
    };
    Service::instance().submit(std::move(r));
}

void EspeakEngine::deliverSpoken(quint64 generation, bool ok, const QString &error, const QByteArray &pcm,
                                 const QVector<SpokenWord> &words)
{
    if (generation != d->generation)
        return;
    if (!ok) {
        Q_EMIT speakFailed(error);
        return;
    }
    if (!d->output) {
        d->output = new PcmOutput(this);
        connect(d->output, &PcmOutput::finished, this, [this] {
            pollPlayback();
            finishSpeaking(true);
        });
        connect(d->output, &PcmOutput::failed, this, [this](const QString &message) {
            finishSpeaking(true);
            Q_EMIT speakFailed(message);
        });
    }
    d->words = words;
    d->nextWord = 0;
    if (pcm.isEmpty()) {
        Q_EMIT OnTTSStart();
        Q_EMIT OnTTSEnd();
        return;
    }
    QString startError;
    if (!d->output->start(pcm, SampleRate, 1, &startError)) {
        Q_EMIT speakFailed(startError.isEmpty() ? QStringLiteral("The sound output could not start.") : startError);
        return;
    }
    d->started = true;
    Q_EMIT OnTTSStart();
    d->poll->start();
}

void EspeakEngine::pollPlayback()
{
    if (!d->output || !d->started)
        return;
    const qint64 played = d->output->playedUSecs();
    // The output reports itself active before anything is heard; the first word waits
    // until the played counter has moved.
    if (played <= 0)
        return;
    const qint64 playedSample = played * SampleRate / 1000000;
    while (d->nextWord < d->words.size() && d->words[d->nextWord].sample <= playedSample) {
        const SpokenWord &w = d->words[d->nextWord++];
        Q_EMIT OnTTSWord(w.start, w.length);
    }
}

void EspeakEngine::finishSpeaking(bool emitEnd)
{
    d->poll->stop();
    const bool wasStarted = d->started;
    d->started = false;
    if (wasStarted && emitEnd)
        Q_EMIT OnTTSEnd();
}

void EspeakEngine::speakToFile(const QString &text, const QString &path, int)
{
    abandonCurrentWork();

    Request r = makeRequest(text, d->voice, d->rate, d->volume, d->pitch);
    r.toFile = true;
    r.path = path;
    r.format = d->format;
    r.option = d->option;
    d->cancelled = r.cancelled;
    d->filePending = true;
    const quint64 generation = ++d->generation;
    // Posted before the request goes out, so the start always reaches the listener before
    // the words and the outcome.
    QMetaObject::invokeMethod(this, [this, generation] {
        if (generation == d->generation && d->filePending && !d->started) {
            d->started = true;
            Q_EMIT OnTTSStart();
        }
    }, Qt::QueuedConnection);
    std::shared_ptr<Channel> channel = d->channel;
    r.done = [channel, generation](SynthResult result) {
        channel->post([generation, result = std::move(result)](EspeakEngine *t) {
            t->deliverFile(generation, result.ok, result.error, result.words, result.samples);
        });
    };
    Service::instance().submit(std::move(r));
}

void EspeakEngine::deliverFile(quint64 generation, bool ok, const QString &error, const QVector<SpokenWord> &words,
                               qint64 samples)
{
    if (generation != d->generation || !d->filePending)
        return;
    d->filePending = false;
    if (!d->started) {
        d->started = true;
        Q_EMIT OnTTSStart();
    }
    for (const SpokenWord &w : words)
        Q_EMIT OnTTSWord(w.start, w.length);
    d->started = false;
    Q_EMIT OnTTSEnd();
    if (ok) {
        // The file holds the synthesised buffer whole (resampled at most), so a word's
        // sample in the buffer is its moment in the file.
        QVector<TimedWord> times;
        times.reserve(words.size());
        for (const SpokenWord &w : words)
            times.append({w.start, w.length, w.sample * 1000 / SampleRate});
        Q_EMIT fileWordTimes(times, samples * 1000 / SampleRate);
    }
    Q_EMIT speakToFileFinished(ok, ok ? QString() : error);
}

void EspeakEngine::stop()
{
    if (d->cancelled)
        d->cancelled->store(true);
    ++d->generation;   // whatever the worker still sends for the stopped text is dropped
    if (d->output)
        d->output->stop();
    const bool filePending = d->filePending;
    d->filePending = false;
    finishSpeaking(true);
    if (filePending)
        Q_EMIT speakToFileFinished(false, QStringLiteral("The conversion was stopped."));
}

qint64 EspeakEngine::playedUSecs() const
{
    return d->output && d->started ? d->output->playedUSecs() : 0;
}

bool EspeakEngine::isSpeaking() const
{
    return d->started && !d->filePending;
}

} // namespace parlivo
