#include "platform/audio/QtAudioRecorder.h"

#include <QAudioDevice>
#include <QAudioSource>
#include <QMediaDevices>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>

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
    m_watcher = new PulseSourceWatcher(this);
    connect(m_watcher, &PulseSourceWatcher::changed, this, &QtAudioRecorder::serverChanged);
}

QtAudioRecorder::~QtAudioRecorder()
{
    closeCapture();
}

bool QtAudioRecorder::Catalogue::operator==(const Catalogue &other) const
{
    if (defaultInput != other.defaultInput || entries.size() != other.entries.size())
        return false;
    for (int i = 0; i < entries.size(); ++i) {
        const RecordSource &a = entries[i], &b = other.entries[i];
        if (a.source != b.source || a.port != b.port || a.label != b.label)
            return false;
    }
    return true;
}

QtAudioRecorder::Catalogue QtAudioRecorder::readCatalogue()
{
    Catalogue c;
    if (m_server.available()) {
        for (const PulseSourceInfo &s : m_server.sources())
            if (!s.isMonitor)
                c.inputs.push_back(s);
        c.entries = recordSourcesOf(c.inputs);
        c.defaultInput = m_server.defaultSource();
        return c;
    }
    // No server to ask: Qt's own list, each input as it is.
    for (const QAudioDevice &d : QMediaDevices::audioInputs()) {
        PulseSourceInfo s;
        s.name = QString::fromUtf8(d.id());
        s.description = d.description();
        s.isMonitor = s.name.endsWith(QLatin1String(".monitor"));
        if (!s.isMonitor)
            c.inputs.push_back(s);
    }
    c.entries = recordSourcesOf(c.inputs);
    c.defaultInput = QString::fromUtf8(QMediaDevices::defaultAudioInput().id());
    return c;
}

void QtAudioRecorder::refreshCatalogue()
{
    m_catalogue = readCatalogue();
    m_catalogueLoaded = true;
}

void QtAudioRecorder::serverChanged()
{
    // The server also announces every volume step and stream; only a change of what
    // can be chosen is passed on.
    if (!m_catalogueLoaded)
        return;
    const Catalogue now = readCatalogue();
    if (now == m_catalogue)
        return;
    m_catalogue = now;
    Q_EMIT sourcesChanged();
    followWithMeterSoon();
}

int QtAudioRecorder::inputIndex(const QString &name) const
{
    for (int i = 0; i < m_catalogue.inputs.size(); ++i)
        if (m_catalogue.inputs[i].name == name)
            return i;
    return -1;
}

QString QtAudioRecorder::recordedInput() const
{
    if (inputIndex(m_device) >= 0)
        return m_device;
    if (inputIndex(m_catalogue.defaultInput) >= 0)
        return m_catalogue.defaultInput;
    // A default that is a monitor (or none): an input, never the sound of an output.
    return m_catalogue.inputs.isEmpty() ? QString() : m_catalogue.inputs.first().name;
}

const RecordSource *QtAudioRecorder::selectedEntry() const
{
    return m_source >= 0 && m_source < m_catalogue.entries.size() ? &m_catalogue.entries[m_source] : nullptr;
}

QString QtAudioRecorder::volumeInput() const
{
    const RecordSource *entry = selectedEntry();
    return entry ? entry->source : recordedInput();
}

int QtAudioRecorder::deviceCount()
{
    refreshCatalogue();
    return int(m_catalogue.inputs.size());
}

int QtAudioRecorder::defaultDevice()
{
    if (!m_catalogueLoaded)
        refreshCatalogue();
    return std::max(0, inputIndex(m_catalogue.defaultInput));
}

void QtAudioRecorder::selectDevice(int device)
{
    if (!m_catalogueLoaded)
        refreshCatalogue();
    m_device = device >= 0 && device < m_catalogue.inputs.size() ? m_catalogue.inputs[device].name : QString();
    followWithMeterSoon();
}

int QtAudioRecorder::isInputDevice()
{
    return inputIndex(m_device) >= 0 ? 1 : 0;
}

QString QtAudioRecorder::deviceName()
{
    const int i = inputIndex(m_device);
    return i >= 0 ? m_catalogue.inputs[i].description : QString();
}

QStringList QtAudioRecorder::deviceNames()
{
    refreshCatalogue();
    QStringList names;
    for (const PulseSourceInfo &s : std::as_const(m_catalogue.inputs))
        names << s.description;
    return names;
}

int QtAudioRecorder::highestSourceNumber()
{
    refreshCatalogue();
    return int(m_catalogue.entries.size()) - 1;
}

int QtAudioRecorder::currentSource()
{
    const QString input = recordedInput();
    const int i = inputIndex(input);
    const QString activePort = i >= 0 ? m_catalogue.inputs[i].activePort : QString();
    int first = -1;
    for (int j = 0; j < m_catalogue.entries.size(); ++j) {
        const RecordSource &e = m_catalogue.entries[j];
        if (e.source != input)
            continue;
        if (e.port.isEmpty() || e.port == activePort)
            return j;
        if (first < 0)
            first = j;
    }
    return first;
}

void QtAudioRecorder::selectSource(int source)
{
    m_source = source;
}

QString QtAudioRecorder::sourceName()
{
    const RecordSource *entry = selectedEntry();
    return entry ? entry->label : QString();
}

bool QtAudioRecorder::sourceIsActive()
{
    const RecordSource *entry = selectedEntry();
    if (!entry || entry->source != recordedInput())
        return false;
    const int i = inputIndex(entry->source);
    return entry->port.isEmpty() || (i >= 0 && m_catalogue.inputs[i].activePort == entry->port);
}

void QtAudioRecorder::makeSourceActive(bool active)
{
    const RecordSource *entry = selectedEntry();
    if (!active || !entry)
        return;
    m_device = entry->source;
    const int i = inputIndex(entry->source);
    if (!entry->port.isEmpty() && i >= 0 && m_catalogue.inputs[i].activePort != entry->port
        && m_server.setActivePort(entry->source, entry->port))
        m_catalogue.inputs[i].activePort = entry->port;
    followWithMeterSoon();
}

int QtAudioRecorder::volume()
{
    const QString input = volumeInput();
    if (input.isEmpty())
        return 0;
    const auto info = m_server.source(input);
    if (!info)
        return volumeMaximum();   // no mixer: the capture runs at full level
    return std::clamp(int(std::lround(info->volume * volumeMaximum())), 0, volumeMaximum());
}

void QtAudioRecorder::setVolume(int value)
{
    const QString input = volumeInput();
    if (input.isEmpty())
        return;
    value = std::clamp(value, 0, volumeMaximum());
    m_server.setVolume(input, double(value) / volumeMaximum());
}

void QtAudioRecorder::followWithMeterSoon()
{
    // Listing the devices selects each in turn; the meter moves once, to where the
    // selection ends up.
    if (m_meterFollowQueued)
        return;
    m_meterFollowQueued = true;
    QTimer::singleShot(0, this, [this] {
        m_meterFollowQueued = false;
        if (!m_monitoring || m_recording || !m_capture || m_captureInput == recordedInput())
            return;
        closeCapture();
        openCapture(nullptr);
    });
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
    if (!m_catalogueLoaded)
        refreshCatalogue();
    const QString input = recordedInput();
    QAudioDevice device;
    for (const QAudioDevice &d : QMediaDevices::audioInputs())
        if (QString::fromUtf8(d.id()) == input)
            device = d;
    if (device.isNull()) {
        if (error)
            *error = input.isEmpty() ? QStringLiteral("no recording device is available")
                                     : QStringLiteral("the recording device \"%1\" is not available").arg(input);
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
    m_captureInput = input;
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
    m_captureInput.clear();
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
                          && m_captureInput == recordedInput();
    if (!reusable) {
        closeCapture();
        QString error;
        if (!openCapture(&error)) {
            m_startStatus = -1;
            m_lastError = error;
            return;
        }
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
        openCapture(nullptr);
    } else if (!on && !m_recording) {
        closeCapture();
        Q_EMIT levelChanged(0);
    }
}

} // namespace parlivo
