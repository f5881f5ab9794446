#include "platform/audio/PcmOutput.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QBuffer>
#include <QMediaDevices>
#include <QPointer>
#include <QTimer>

#include <algorithm>

namespace parlivo {

namespace {
// The sink reports "idle" as soon as it has taken the last byte, before the server has
// played it; silence after the sound keeps the real tail from being cut off.
constexpr int TrailingSilenceMs = 300;
constexpr int PositionIntervalMs = 50;
// Enough to ride out a busy user-interface thread without making Stop sluggish.
constexpr int SinkBufferMs = 250;
} // namespace

struct PcmOutput::Impl
{
    QPointer<QAudioSink> sink;
    QTimer positionTimer;
    qint64 soundUSecs = 0;    // length of the caller's audio, without the padding
    qint64 lastPlayed = 0;
    bool playing = false;
};

PcmOutput::PcmOutput(QObject *parent) : QObject(parent), d(new Impl)
{
    d->positionTimer.setInterval(PositionIntervalMs);
    connect(&d->positionTimer, &QTimer::timeout, this, [this] {
        if (d->playing)
            Q_EMIT positionChanged(playedUSecs());
    });
}

PcmOutput::~PcmOutput()
{
    stop();
    delete d;
}

static void discardSink(QAudioSink *sink)
{
    if (!sink)
        return;
    QObject::disconnect(sink, nullptr, nullptr, nullptr);
    sink->stop();
    // The sink may be the sender of the signal being handled right now.
    sink->deleteLater();
}

bool PcmOutput::start(const QByteArray &pcm, int sampleRate, int channels, QString *error)
{
    stop();
    auto fail = [&](const QString &why) {
        if (error)
            *error = why;
        return false;
    };
    if (sampleRate <= 0 || channels <= 0)
        return fail(QStringLiteral("unsupported audio format"));

    const QAudioDevice device = QMediaDevices::defaultAudioOutput();
    if (device.isNull())
        return fail(QStringLiteral("no audio output device is available"));

    QAudioFormat format;
    format.setSampleRate(sampleRate);
    format.setChannelCount(channels);
    format.setSampleFormat(QAudioFormat::Int16);

    const int bytesPerFrame = 2 * channels;
    const qint64 frames = pcm.size() / bytesPerFrame;
    d->soundUSecs = frames * 1000000 / sampleRate;
    d->lastPlayed = 0;

    QByteArray data = pcm.left(frames * bytesPerFrame);
    data.append(QByteArray(qsizetype(sampleRate) * TrailingSilenceMs / 1000 * bytesPerFrame, '\0'));

    auto *sink = new QAudioSink(device, format);
    auto *buffer = new QBuffer(sink);   // lives exactly as long as the sink reading it
    buffer->setData(data);
    buffer->open(QIODevice::ReadOnly);
    sink->setBufferSize(qsizetype(sampleRate) * SinkBufferMs / 1000 * bytesPerFrame);

    QPointer<QBuffer> source(buffer);
    connect(sink, &QAudioSink::stateChanged, this, [this, sink, source](QAudio::State state) {
        if (sink != d->sink)
            return;
        if (state == QAudio::IdleState && (!source || source->atEnd())) {
            d->lastPlayed = d->soundUSecs;
            d->playing = false;
            d->positionTimer.stop();
            d->sink = nullptr;
            discardSink(sink);
            Q_EMIT positionChanged(d->soundUSecs);
            Q_EMIT finished();
        } else if (state == QAudio::StoppedState && sink->error() != QAudio::NoError) {
            d->playing = false;
            d->positionTimer.stop();
            d->sink = nullptr;
            discardSink(sink);
            Q_EMIT failed(QStringLiteral("the audio output stopped unexpectedly"));
        }
    });

    d->sink = sink;
    sink->start(buffer);
    if (sink->error() != QAudio::NoError || sink->state() == QAudio::StoppedState) {
        d->sink = nullptr;
        discardSink(sink);
        return fail(QStringLiteral("the audio output could not be opened"));
    }
    d->playing = true;
    d->positionTimer.start();
    return true;
}

void PcmOutput::stop()
{
    d->positionTimer.stop();
    if (d->sink) {
        if (d->playing)
            d->lastPlayed = playedUSecs();
        QAudioSink *sink = d->sink;
        d->sink = nullptr;
        discardSink(sink);
    }
    d->playing = false;
}

bool PcmOutput::isPlaying() const
{
    return d->playing;
}

qint64 PcmOutput::playedUSecs() const
{
    if (!d->playing || !d->sink)
        return d->lastPlayed;
    return std::clamp<qint64>(d->sink->processedUSecs(), 0, d->soundUSecs);
}

} // namespace parlivo
