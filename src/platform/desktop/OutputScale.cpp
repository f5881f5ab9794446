#include "platform/desktop/OutputScale.h"

#include <wayland-client.h>

#include <QElapsedTimer>

#include <poll.h>

#include <cstring>
#include <memory>
#include <vector>

namespace parlivo {

namespace {

struct Output
{
    wl_output *proxy = nullptr;
    OutputMode mode;
    bool turned = false;   // a quarter or three-quarter turn: the mode's sides swap
};

struct Query
{
    wl_registry *registry = nullptr;
    std::vector<std::unique_ptr<Output>> outputs;
};

void outputGeometry(void *data, wl_output *, int32_t, int32_t, int32_t, int32_t, int32_t, const char *, const char *,
                    int32_t transform)
{
    static_cast<Output *>(data)->turned = transform % 2 == 1;
}

void outputMode(void *data, wl_output *, uint32_t flags, int32_t width, int32_t height, int32_t)
{
    if (flags & WL_OUTPUT_MODE_CURRENT)
        static_cast<Output *>(data)->mode.pixels = QSize(width, height);
}

void outputDone(void *, wl_output *) {}

void outputScale(void *data, wl_output *, int32_t factor)
{
    static_cast<Output *>(data)->mode.scale = factor > 0 ? factor : 1;
}

const wl_output_listener OutputListener = {outputGeometry, outputMode, outputDone, outputScale};

void registryGlobal(void *data, wl_registry *registry, uint32_t name, const char *interface, uint32_t version)
{
    auto *query = static_cast<Query *>(data);
    // Version 2 brings the scale; a compositor can list any number of globals, but a
    // machine has only so many outputs.
    if (std::strcmp(interface, wl_output_interface.name) != 0 || version < 2 || query->outputs.size() >= 16)
        return;
    auto output = std::make_unique<Output>();
    output->proxy = static_cast<wl_output *>(wl_registry_bind(registry, name, &wl_output_interface, 2));
    wl_output_add_listener(output->proxy, &OutputListener, output.get());
    query->outputs.push_back(std::move(output));
}

void registryRemove(void *, wl_registry *, uint32_t) {}

const wl_registry_listener RegistryListener = {registryGlobal, registryRemove};

void syncDone(void *data, wl_callback *, uint32_t)
{
    *static_cast<bool *>(data) = true;
}

const wl_callback_listener SyncListener = {syncDone};

// Everything sent so far has been answered; false when the compositor went away or took
// longer than the time left.
bool roundtrip(wl_display *display, const QElapsedTimer &clock, int timeoutMs)
{
    bool done = false;
    wl_callback *sync = wl_display_sync(display);
    wl_callback_add_listener(sync, &SyncListener, &done);
    while (!done) {
        while (wl_display_prepare_read(display) != 0)
            if (wl_display_dispatch_pending(display) < 0)
                break;
        if (done) {
            wl_display_cancel_read(display);
            break;
        }
        wl_display_flush(display);
        const int left = timeoutMs - int(clock.elapsed());
        pollfd fd{wl_display_get_fd(display), POLLIN, 0};
        if (left <= 0 || ::poll(&fd, 1, left) <= 0) {
            wl_display_cancel_read(display);
            break;
        }
        if (wl_display_read_events(display) < 0 || wl_display_dispatch_pending(display) < 0)
            break;
    }
    if (!done)
        wl_callback_destroy(sync);
    return done;
}

} // namespace

QList<OutputMode> waylandOutputs(int timeoutMs)
{
    if (qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_SOCKET"))
        return {};
    wl_display *display = wl_display_connect(nullptr);
    if (!display)
        return {};
    QElapsedTimer clock;
    clock.start();
    Query query;
    query.registry = wl_display_get_registry(display);
    wl_registry_add_listener(query.registry, &RegistryListener, &query);
    // The first answer lists the outputs, the second their modes and scales.
    const bool answered = roundtrip(display, clock, timeoutMs) && roundtrip(display, clock, timeoutMs);
    QList<OutputMode> modes;
    for (const auto &output : query.outputs) {
        if (answered && output->mode.pixels.isValid())
            modes << OutputMode{output->turned ? output->mode.pixels.transposed() : output->mode.pixels,
                                output->mode.scale};
        wl_output_destroy(output->proxy);
    }
    wl_registry_destroy(query.registry);
    wl_display_disconnect(display);
    return modes;
}

QRect logicalArea(const QRect &available, QSize screenSize, const QList<OutputMode> &outputs)
{
    for (const OutputMode &output : outputs) {
        if (output.scale > 1 && output.pixels == screenSize) {
            const int s = output.scale;
            return QRect(available.x() / s, available.y() / s, available.width() / s, available.height() / s);
        }
    }
    return available;
}

} // namespace parlivo
