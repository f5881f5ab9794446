#include "platform/audio/PulseSources.h"

#include <QElapsedTimer>
#include <pulse/pulseaudio.h>

#include <algorithm>
#include <cmath>

namespace parlivo {

namespace {
constexpr int ConnectTimeoutMs = 1500;
constexpr int OperationTimeoutMs = 1500;
} // namespace

struct PulseSources::Impl
{
    pa_mainloop *loop = nullptr;
    pa_context *context = nullptr;
    bool gaveUp = false;   // a server that did not answer once is not asked again for a while
    QElapsedTimer sinceGaveUp;

    ~Impl() { disconnect(); }

    void disconnect()
    {
        if (context) {
            pa_context_set_state_callback(context, nullptr, nullptr);
            pa_context_disconnect(context);
            pa_context_unref(context);
            context = nullptr;
        }
        if (loop) {
            pa_mainloop_free(loop);
            loop = nullptr;
        }
    }

    // Runs the loop until done() holds or the time is up.
    template <typename Done>
    bool iterateUntil(Done done, int timeoutMs)
    {
        QElapsedTimer clock;
        clock.start();
        while (!done()) {
            const qint64 left = timeoutMs - clock.elapsed();
            if (left <= 0)
                return false;
            if (pa_mainloop_prepare(loop, int(left * 1000)) < 0)
                return false;
            if (pa_mainloop_poll(loop) < 0)
                return false;
            if (pa_mainloop_dispatch(loop) < 0)
                return false;
        }
        return true;
    }

    bool ensureConnected()
    {
        if (context && pa_context_get_state(context) == PA_CONTEXT_READY)
            return true;
        disconnect();
        if (gaveUp && sinceGaveUp.elapsed() < 5000)
            return false;
        loop = pa_mainloop_new();
        if (!loop)
            return false;
        pa_proplist *props = pa_proplist_new();
        pa_proplist_sets(props, PA_PROP_APPLICATION_NAME, "Parlivo");
        context = pa_context_new_with_proplist(pa_mainloop_get_api(loop), "Parlivo", props);
        pa_proplist_free(props);
        if (!context || pa_context_connect(context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
            disconnect();
            giveUp();
            return false;
        }
        const bool settled = iterateUntil(
            [this] {
                const pa_context_state_t s = pa_context_get_state(context);
                return s == PA_CONTEXT_READY || s == PA_CONTEXT_FAILED || s == PA_CONTEXT_TERMINATED;
            },
            ConnectTimeoutMs);
        if (!settled || pa_context_get_state(context) != PA_CONTEXT_READY) {
            disconnect();
            giveUp();
            return false;
        }
        gaveUp = false;
        return true;
    }

    void giveUp()
    {
        gaveUp = true;
        sinceGaveUp.start();
    }

    // Waits for an operation; drops the connection when the server stops answering.
    bool wait(pa_operation *op)
    {
        if (!op)
            return false;
        const bool ok = iterateUntil([op] { return pa_operation_get_state(op) != PA_OPERATION_RUNNING; },
                                     OperationTimeoutMs);
        if (!ok)
            pa_operation_cancel(op);
        pa_operation_unref(op);
        if (!ok)
            disconnect();
        return ok;
    }
};

namespace {

struct SourceQuery
{
    QVector<PulseSourceInfo> found;
    bool done = false;
};

void collectSource(pa_context *, const pa_source_info *info, int eol, void *userdata)
{
    auto *q = static_cast<SourceQuery *>(userdata);
    if (eol != 0 || !info) {
        q->done = true;
        return;
    }
    PulseSourceInfo s;
    s.name = QString::fromUtf8(info->name);
    s.description = QString::fromUtf8(info->description ? info->description : info->name);
    for (uint32_t i = 0; i < info->n_ports; ++i) {
        const pa_source_port_info *p = info->ports[i];
        if (p)
            s.ports.push_back({QString::fromUtf8(p->name),
                               QString::fromUtf8(p->description ? p->description : p->name),
                               p->available == PA_PORT_AVAILABLE_NO});
    }
    s.isMonitor = info->monitor_of_sink != PA_INVALID_INDEX;
    if (info->active_port)
        s.activePort = QString::fromUtf8(info->active_port->name);
    s.channels = info->volume.channels;
    s.volume = info->volume.channels ? double(pa_cvolume_avg(&info->volume)) / PA_VOLUME_NORM : 0.0;
    q->found.push_back(s);
}

struct ServerQuery
{
    QString defaultSource;
    bool done = false;
};

void collectServer(pa_context *, const pa_server_info *info, void *userdata)
{
    auto *q = static_cast<ServerQuery *>(userdata);
    if (info && info->default_source_name)
        q->defaultSource = QString::fromUtf8(info->default_source_name);
    q->done = true;
}

struct Success
{
    bool ok = false;
};

void noteSuccess(pa_context *, int success, void *userdata)
{
    static_cast<Success *>(userdata)->ok = success != 0;
}

} // namespace

PulseSources::PulseSources() : d(std::make_unique<Impl>()) {}
PulseSources::~PulseSources() = default;

bool PulseSources::available()
{
    return d->ensureConnected();
}

std::optional<PulseSourceInfo> PulseSources::source(const QString &name)
{
    if (name.isEmpty() || !d->ensureConnected())
        return std::nullopt;
    SourceQuery q;
    const QByteArray n = name.toUtf8();
    if (!d->wait(pa_context_get_source_info_by_name(d->context, n.constData(), collectSource, &q)))
        return std::nullopt;
    if (q.found.isEmpty())
        return std::nullopt;
    return q.found.first();
}

QVector<PulseSourceInfo> PulseSources::sources()
{
    if (!d->ensureConnected())
        return {};
    SourceQuery q;
    if (!d->wait(pa_context_get_source_info_list(d->context, collectSource, &q)))
        return {};
    return q.found;
}

QString PulseSources::defaultSource()
{
    if (!d->ensureConnected())
        return {};
    ServerQuery q;
    if (!d->wait(pa_context_get_server_info(d->context, collectServer, &q)))
        return {};
    return q.defaultSource;
}

bool PulseSources::setActivePort(const QString &source, const QString &port)
{
    if (!d->ensureConnected())
        return false;
    Success s;
    const QByteArray n = source.toUtf8(), p = port.toUtf8();
    return d->wait(pa_context_set_source_port_by_name(d->context, n.constData(), p.constData(), noteSuccess, &s))
           && s.ok;
}

bool PulseSources::setVolume(const QString &source, double volume)
{
    const auto info = this->source(source);
    if (!info || info->channels <= 0)
        return false;
    pa_cvolume v;
    const double clamped = std::clamp(volume, 0.0, 1.5);
    pa_cvolume_set(&v, unsigned(info->channels), pa_volume_t(std::lround(clamped * PA_VOLUME_NORM)));
    Success s;
    const QByteArray n = source.toUtf8();
    return d->wait(pa_context_set_source_volume_by_name(d->context, n.constData(), &v, noteSuccess, &s)) && s.ok;
}

QVector<RecordSource> recordSourcesOf(const QVector<PulseSourceInfo> &sources)
{
    QVector<RecordSource> entries;
    for (const PulseSourceInfo &s : sources) {
        if (s.isMonitor)
            continue;
        QVector<PulsePort> usable;
        for (const PulsePort &p : s.ports)
            if (!p.unplugged || p.name == s.activePort)
                usable.push_back(p);
        if (usable.size() < 2) {
            // One way in: the input is the choice, and its port is whatever it has.
            entries.push_back({s.name, QString(), s.description});
            continue;
        }
        for (const PulsePort &p : usable)
            entries.push_back({s.name, p.name, p.description + QStringLiteral(" \u2013 ") + s.description});
    }
    return entries;
}

// ---------------------------------------------------------------- watching

namespace {
constexpr int SettleMs = 100;
constexpr int RetryMs = 3000;
} // namespace

struct PulseSourceWatcher::Impl
{
    pa_threaded_mainloop *loop = nullptr;
    pa_context *context = nullptr;

    ~Impl() { stop(); }

    void stop()
    {
        // Stopping joins the loop's thread: no callback runs afterwards.
        if (loop)
            pa_threaded_mainloop_stop(loop);
        if (context) {
            pa_context_set_state_callback(context, nullptr, nullptr);
            pa_context_set_subscribe_callback(context, nullptr, nullptr);
            pa_context_disconnect(context);
            pa_context_unref(context);
            context = nullptr;
        }
        if (loop) {
            pa_threaded_mainloop_free(loop);
            loop = nullptr;
        }
    }

    // Both run on the server connection's own thread; they only hand over to the watcher's.
    static void announce(pa_context *, pa_subscription_event_type_t, uint32_t, void *userdata)
    {
        auto *self = static_cast<PulseSourceWatcher *>(userdata);
        QMetaObject::invokeMethod(self, [self] { self->m_settle.start(); }, Qt::QueuedConnection);
    }

    static void stateChanged(pa_context *c, void *userdata)
    {
        auto *self = static_cast<PulseSourceWatcher *>(userdata);
        switch (pa_context_get_state(c)) {
        case PA_CONTEXT_READY:
            pa_context_set_subscribe_callback(c, announce, self);
            if (pa_operation *op = pa_context_subscribe(
                    c, pa_subscription_mask_t(PA_SUBSCRIPTION_MASK_SOURCE | PA_SUBSCRIPTION_MASK_SERVER
                                              | PA_SUBSCRIPTION_MASK_CARD),
                    nullptr, nullptr))
                pa_operation_unref(op);
            // Whatever changed while nobody listened counts as a change too.
            announce(c, PA_SUBSCRIPTION_EVENT_CHANGE, 0, self);
            break;
        case PA_CONTEXT_FAILED:
        case PA_CONTEXT_TERMINATED:
            QMetaObject::invokeMethod(self, [self] { self->lost(); }, Qt::QueuedConnection);
            break;
        default:
            break;
        }
    }
};

PulseSourceWatcher::PulseSourceWatcher(QObject *parent) : QObject(parent), d(std::make_unique<Impl>())
{
    m_settle.setSingleShot(true);
    m_settle.setInterval(SettleMs);
    connect(&m_settle, &QTimer::timeout, this, &PulseSourceWatcher::changed);
    m_retry.setSingleShot(true);
    m_retry.setInterval(RetryMs);
    connect(&m_retry, &QTimer::timeout, this, &PulseSourceWatcher::connectToServer);
    connectToServer();
}

PulseSourceWatcher::~PulseSourceWatcher()
{
    d.reset();
}

void PulseSourceWatcher::connectToServer()
{
    d->stop();
    d->loop = pa_threaded_mainloop_new();
    if (!d->loop)
        return lost();
    pa_proplist *props = pa_proplist_new();
    pa_proplist_sets(props, PA_PROP_APPLICATION_NAME, "Parlivo");
    d->context = pa_context_new_with_proplist(pa_threaded_mainloop_get_api(d->loop), "Parlivo", props);
    pa_proplist_free(props);
    if (!d->context)
        return lost();
    pa_context_set_state_callback(d->context, &Impl::stateChanged, this);
    if (pa_context_connect(d->context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0
        || pa_threaded_mainloop_start(d->loop) < 0)
        return lost();
}

void PulseSourceWatcher::lost()
{
    d->stop();
    m_retry.start();
}

} // namespace parlivo
