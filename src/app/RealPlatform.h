#pragma once
// The platform bundle of the real program: every interface on its real component.
#include "platform/Platform.h"

#include <memory>

namespace parlivo {

class RealPlatform
{
public:
    explicit RealPlatform(const QString &appFolder);
    ~RealPlatform();
    Platform &platform() { return m_platform; }

private:
    struct Services;
    std::unique_ptr<Services> m_services;
    Platform m_platform;
};

} // namespace parlivo
