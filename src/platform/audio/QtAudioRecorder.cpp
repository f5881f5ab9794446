#include "platform/audio/QtAudioRecorder.h"

#include <QAudioSource>
#include <QMediaDevices>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace parlivo {

namespace {
constexpr int MeterWindowMs = 50;         // the meter needs 10+ updates a second
// Small buffers make the audio input hand over sound every few tens of milliseconds.
// The input writes into our device (pull mode): reading it ourselves in push mode lost
// parts of the sound with small buffers on this Qt version.
constexpr int CaptureBufferMs = 40;
// Blocks announced but never taken are dropped beyond this, so a listener that
// ignores them cannot make the recorder hoard a long recording.
constexpr size_t MaxQueuedBlocks = 2;
// Receives what the audio input captured.
class CaptureSink : public QIODevice
{
public:
    CaptureSink(QObject *parent, std::function<void(const char *, qint64)> onData)
        : QIODevice(parent), m_onData(std::move(onData))
    {
    }
    // Whatever still arrives while the input shuts down is dropped.
    void detach() { m_onData = nullptr; }

protected:
    qint64 readData(char *, qint64) override { return -1; }
    qint64 writeData(const char *data, qint64 len) override
    {
        if (len > 0 && m_onData)
            m_onData(data, len);
        return len;
    }

private:
    std::function<void(const char *, qint64)> m_onData;
};

} // namespace

QtAudioRecorder::QtAudioRecorder(QObject *parent) : AudioRecorder(parent)
{
    m_format.setSampleRate(44100);
    m_format.setChannelCount(1);
    m_format.setSampleFormat(QAudioFormat::Int16);
}

QtAudioRecorder::~QtAudioRecorder()
{
    closeCapture();
}

void QtAudioRecorder::refreshDevices()
{
    m_devices = QMediaDevices::audioInputs();
    m_devicesLoaded = true;
}

int QtAudioRecorder::deviceCount()
{
    refreshDevices();
    return int(m_devices.size());
}

int QtAudioRecorder::defaultDevice()
{
    if (!m_devicesLoaded)
        refreshDevices();
    const QAudioDevice def = QMediaDevices::defaultAudioInput();
    for (int i = 0; i < m_devices.size(); ++i)
        if (m_devices[i].id() == def.id())
            return i;
    return 0;
}

void QtAudioRecorder::selectDevice(int device)
{
    if (!m_devicesLoaded)
        refreshDevices();
    m_device = device;
}

int QtAudioRecorder::isInputDevice()
{
    return m_device >= 0 && m_device < m_devices.size() ? 1 : 0;
}

QString QtAudioRecorder::deviceName()
{
    return isInputDevice() ? m_devices[m_device].description() : QString();
}

QStringList QtAudioRecorder::deviceNames()
{
    refreshDevices();
    QStringList names;
    for (const QAudioDevice &d : std::as_const(m_devices))
        names << d.description();
    return names;
}

QVector<QtAudioRecorder::SourceEntry> QtAudioRecorder::sourceEntries()
{
    if (!isInputDevice())
        return {};
    const QAudioDevice &device = m_devices[m_device];
    QVector<SourceEntry> entries;
    if (const auto info = m_server.source(QString::fromUtf8(device.id()))) {
        for (const PulsePort &p : info->ports)
            entries.push_back({p.name, p.description});
    }
    if (entries.isEmpty())
        entries.push_back({QString(), device.description()});
    return entries;
}

int QtAudioRecorder::highestSourceNumber()
{
    return int(sourceEntries().size()) - 1;
}

int QtAudioRecorder::currentSource()
{
    if (!isInputDevice())
        return -1;
    const auto info = m_server.source(QString::fromUtf8(m_devices[m_device].id()));
    if (info) {
        for (int i = 0; i < info->ports.size(); ++i)
            if (info->ports[i].name == info->activePort)
                return i;
    }
    return 0;
}

void QtAudioRecorder::selectSource(int source)
{
    m_source = source;
}

QString QtAudioRecorder::sourceName()
{
    const auto entries = sourceEntries();
    return m_source >= 0 && m_source < entries.size() ? entries[m_source].label : QString();
}

bool QtAudioRecorder::sourceIsActive()
{
    const auto entries = sourceEntries();
    if (m_source < 0 || m_source >= entries.size())
        return false;
    if (entries[m_source].port.isEmpty())
        return true;
    const auto info = m_server.source(QString::fromUtf8(m_devices[m_device].id()));
    return info && info->activePort == entries[m_source].port;
}

void QtAudioRecorder::makeSourceActive(bool active)
{
    if (!active)
        return;
    const auto entries = sourceEntries();
    if (m_source < 0 || m_source >= entries.size() || entries[m_source].port.isEmpty())
        return;
    m_server.setActivePort(QString::fromUtf8(m_devices[m_device].id()), entries[m_source].port);
}

int QtAudioRecorder::volume()
{
    if (!isInputDevice())
        return 0;
    const auto info = m_server.source(QString::fromUtf8(m_devices[m_device].id()));
    if (!info)
        return volumeMaximum();   // no mixer: the capture runs at full level
    return std::clamp(int(std::lround(info->volume * volumeMaximum())), 0, volumeMaximum());
}

void QtAudioRecorder::setVolume(int value)
{
    if (!isInputDevice())
        return;
    value = std::clamp(value, 0, volumeMaximum());
    m_server.setVolume(QString::fromUtf8(m_devices[m_device].id()), double(value) / volumeMaximum());
}

void QtAudioRecorder::setFormat(int sampleRate, int channels)
{
    if (sampleRate <= 0 || channels <= 0)
        return;
    m_format.setSampleRate(sampleRate);
    m_format.setChannelCount(channels);
    m_format.setSampleFormat(QAudioFormat::Int16);
}

int QtAudioRecorder::sizeForDuration(int milliseconds)
{
    return int(m_format.bytesForDuration(qint64(milliseconds) * 1000));
}

void QtAudioRecorder::setBlockSize(int bytes)
{
    const int frame = m_format.bytesPerFrame();
    if (bytes < frame)
        return;
    m_blockSize = bytes - bytes % frame;
}

bool QtAudioRecorder::openCapture(QString *error)
{
    if (!m_devicesLoaded)
        refreshDevices();
    QAudioDevice device;
    if (isInputDevice())
        device = m_devices[m_device];
    else if (m_device < 0)
        device = QMediaDevices::defaultAudioInput();
    if (device.isNull()) {
        if (error)
            *error = QStringLiteral("no recording device is available");
        return false;
    }
    auto *capture = new QAudioSource(device, m_format, this);
    capture->setBufferSize(m_format.bytesForDuration(CaptureBufferMs * 1000));
    auto *io = new CaptureSink(capture, [this](const char *data, qint64 len) { consume(data, len); });
    io->open(QIODevice::WriteOnly | QIODevice::Unbuffered);
    capture->start(io);
    if (capture->error() != QAudio::NoError || capture->state() == QAudio::StoppedState) {
        capture->stop();
        delete capture;
        if (error)
            *error = QStringLiteral("the recording device \"%1\" could not be opened").arg(device.description());
        return false;
    }
    m_capture = capture;
    m_io = io;
    connect(capture, &QAudioSource::stateChanged, this, [this, capture](QAudio::State state) {
        if (capture == m_capture && state == QAudio::StoppedState && capture->error() != QAudio::NoError)
            m_lastError = QStringLiteral("the recording device stopped delivering sound");
    });
    return true;
}

void QtAudioRecorder::closeCapture()
{
    if (m_capture) {
        QAudioSource *capture = m_capture;
        m_capture = nullptr;
        disconnect(capture, nullptr, this, nullptr);
        if (m_io)
            static_cast<CaptureSink *>(m_io)->detach();   // nothing more reaches consume()
        capture->stop();
        capture->deleteLater();
    }
    m_io = nullptr;
}

void QtAudioRecorder::consume(const char *data, qint64 bytes)
{
    // Metering looks at every sample, recorded or not.
    const qint64 samples = bytes / 2;
    float peak = m_peak;
    for (qint64 i = 0; i < samples; ++i) {
        qint16 v;
        std::memcpy(&v, data + 2 * i, 2);
        const float a = std::fabs(float(v)) / 32768.0f;
        if (a > peak)
            peak = a;
    }
    m_peak = peak;
    m_meterBytes += bytes;
    if (m_meterBytes >= m_format.bytesForDuration(MeterWindowMs * 1000)) {
        const float level = std::min(m_peak, 1.0f);
        m_peak = 0;
        m_meterBytes = 0;
        Q_EMIT levelChanged(level);
    }
    if (!m_recording)
        return;
    m_pending.append(data, bytes);
    deliverBlocks(false);
}

void QtAudioRecorder::deliverBlocks(bool includePartial)
{
    const int blockSize = m_blockSize > 0 ? m_blockSize : int(m_format.bytesForDuration(1000000));
    while (m_pending.size() >= blockSize) {
        m_completed.push_back(m_pending.left(blockSize));
        m_pending.remove(0, blockSize);
        while (m_completed.size() > MaxQueuedBlocks)
            m_completed.pop_front();
        Q_EMIT EndArrayRecord(m_blockNumber++);
    }
    if (includePartial) {
        const int frame = m_format.bytesPerFrame();
        m_pending.truncate(m_pending.size() - m_pending.size() % frame);
        if (!m_pending.isEmpty()) {
            m_completed.push_back(m_pending);
            m_pending.clear();
            while (m_completed.size() > MaxQueuedBlocks)
                m_completed.pop_front();
            Q_EMIT EndArrayRecord(m_blockNumber++);
        }
    }
}

void QtAudioRecorder::start()
{
    if (m_recording)
        return;   // already running: the running recording goes on
    m_lastError.clear();
    m_pending.clear();
    m_completed.clear();
    m_blockNumber = 0;

    // A capture opened for the meter is reused when it already has the right
    // device and format; otherwise it is reopened for the recording.
    const bool reusable = m_capture && m_capture->state() != QAudio::StoppedState && m_capture->format() == m_format
                          && (!isInputDevice() || m_capture->property("deviceId").toByteArray() == m_devices[m_device].id());
    if (!reusable) {
        closeCapture();
        QString error;
        if (!openCapture(&error)) {
            m_startStatus = -1;
            m_lastError = error;
            return;
        }
        if (isInputDevice())
            m_capture->setProperty("deviceId", m_devices[m_device].id());
    }
    m_recording = true;
    m_startStatus = 0;
}

void QtAudioRecorder::stop()
{
    if (!m_recording)
        return;
    // The last partial second is handed over before stop returns, so the file the
    // caller closes next is complete.
    deliverBlocks(true);
    m_recording = false;
    if (!m_monitoring)
        closeCapture();
}

QByteArray QtAudioRecorder::takeBlock()
{
    if (m_completed.empty())
        return {};
    QByteArray block = std::move(m_completed.front());
    m_completed.pop_front();
    return block;
}

void QtAudioRecorder::setMonitoring(bool on)
{
    if (on == m_monitoring)
        return;
    m_monitoring = on;
    if (on && !m_capture) {
        QString error;
        if (openCapture(&error)) {
            if (isInputDevice())
                m_capture->setProperty("deviceId", m_devices[m_device].id());
        }
    } else if (!on && !m_recording) {
        closeCapture();
        Q_EMIT levelChanged(0);
    }
}

} // namespace parlivo
