#pragma once
// Asks the audio server about a capture device's input ports and volume, and changes
// them. Every call is synchronous but bounded by a short time-out, so a missing or stuck
// server costs at most a moment and never hangs the caller.
#include <QString>
#include <QVector>
#include <memory>
#include <optional>

namespace parlivo {

struct PulsePort
{
    QString name;          // the server's identifier
    QString description;   // what the user sees
};

struct PulseSourceInfo
{
    QString name;
    QString description;
    QVector<PulsePort> ports;
    QString activePort;    // name of the active port, "" when the source has none
    double volume = 0;     // average over channels, 1.0 = the server's 100 %
    int channels = 0;
};

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
    bool setActivePort(const QString &source, const QString &port);
    bool setVolume(const QString &source, double volume);

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace parlivo
