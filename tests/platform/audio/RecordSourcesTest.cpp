// What the record-source list offers from the audio server's capture sources.
#include "platform/audio/PulseSources.h"

#include <gtest/gtest.h>

using namespace parlivo;

TEST(RecordSources, InputsAndTheirUsablePortsButNoMonitors)
{
    PulseSourceInfo monitor{"out.monitor", "Monitor of Speakers", {}, {}, 1.0, 2, false};
    monitor.isMonitor = true;
    PulseSourceInfo card{"alsa_input.pci", "Built-in Audio Analog Stereo",
                         {{"analog-input-mic", "Microphone", false},
                          {"analog-input-linein", "Line In", true},
                          {"analog-input-headset", "Headset Microphone", true}},
                         "analog-input-headset", 0.8, 2, false};
    PulseSourceInfo usb{"alsa_input.usb", "USB Microphone", {{"analog-input-mic", "Microphone", false}},
                        "analog-input-mic", 1.0, 1, false};
    PulseSourceInfo bare{"remapped", "Room", {}, {}, 1.0, 1, false};

    const QVector<RecordSource> entries = recordSourcesOf({monitor, card, usb, bare});
    QStringList labels, ports;
    for (const RecordSource &e : entries) {
        labels << e.label;
        ports << e.source + "/" + e.port;
    }
    // An unplugged port is left out unless it is the one in use; a single way in is the input itself.
    EXPECT_EQ(labels, QStringList({QString::fromUtf8("Microphone \u2013 Built-in Audio Analog Stereo"),
                                   QString::fromUtf8("Headset Microphone \u2013 Built-in Audio Analog Stereo"),
                                   "USB Microphone", "Room"}));
    EXPECT_EQ(ports, QStringList({"alsa_input.pci/analog-input-mic", "alsa_input.pci/analog-input-headset",
                                  "alsa_input.usb/", "remapped/"}));
}
