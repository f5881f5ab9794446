#pragma once
// Asks the audio server about its capture sources, their input ports and volume, and
// changes them. Every call is synchronous but bounded by a short time-out, so a missing
// or stuck server costs at most a moment and never hangs the caller. The watcher hears
// the server announce sources coming, going and changing.
#include <QObject>
#include <QString>
#include <QTimer>
#include <QVector>
#include <memory>
#include <optional>

namespace parlivo {

struct PulsePort
{
    QString name;          // the server's identifier
    QString description;   // what the user sees
    bool unplugged = false;   // the jack reports nothing plugged in
};

struct PulseSourceInfo
{
    QString name;
    QString description;
    QVector<PulsePort> ports;
    QString activePort;    // name of the active port, "" when the source has none
    double volume = 0;     // average over channels, 1.0 = the server's 100 %
    int channels = 0;
    bool isMonitor = false;   // the sound going to an output, not an input
};

// One entry a person can record from: a capture input, or one port of an input that
// has several.
struct RecordSource
{
    QString source;   // the server's source name
    QString port;     // "" when the input is recorded as it is
    QString label;    // as the desktop labels it
};

// The entries of the record-source list, in the server's order: monitors of outputs
// are no microphones and are left out; an input with several ports gives one entry
// per port that is not reported unplugged (the active one always counts).
QVector<RecordSource> recordSourcesOf(const QVector<PulseSourceInfo> &sources);

class PulseSources
{
public:
    PulseSources();
    ~PulseSources();
    PulseSources(const PulseSources &) = delete;
    PulseSources &operator=(const PulseSources &) = delete;

    // False when no server answers (within the time-out).
    bool available();
    std::optional<PulseSourceInfo> source(const QString &name);
    QVector<PulseSourceInfo> sources();   // every capture source, monitors included
    QString defaultSource();              // the name of the server's default source, "" unknown
    bool setActivePort(const QString &source, const QString &port);
    bool setVolume(const QString &source, double volume);

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

// Reports, on the thread it lives in, that the server's sources or its default source
// changed. A burst of announcements (a module loading brings several) arrives as one.
// A server that is not there, or goes away, is looked for again every few seconds.
class PulseSourceWatcher : public QObject
{
    Q_OBJECT
public:
    explicit PulseSourceWatcher(QObject *parent = nullptr);
    ~PulseSourceWatcher() override;

Q_SIGNALS:
    void changed();

private:
    void connectToServer();
    void lost();
    struct Impl;
    std::unique_ptr<Impl> d;
    QTimer m_settle, m_retry;
};

} // namespace parlivo
