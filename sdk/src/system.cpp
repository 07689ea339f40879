#include "backend.h"
#include "bgapi2_genicam/bgapi2_genicam.hpp"
#include "listlock.h"
#include "trace.h"

namespace BGAPI2 {

System::System(std::shared_ptr<Backend::SystemBackend> backend) : m_backend(std::move(backend)) {}
System::~System() = default;

String System::GetID() {
    return m_backend->id();
}

String System::GetDisplayName() {
    BGAPI2_TRACE("System::GetDisplayName", m_backend->id());
    return m_backend->displayName();
}

String System::GetTLType() {
    BGAPI2_TRACE("System::GetTLType", m_backend->id());
    return m_backend->tlType();
}

bo_bool System::IsOpen() {
    BGAPI2_TRACE("System::IsOpen", m_backend->id());
    return m_backend->isOpen();
}

void System::Open() {
    BGAPI2_TRACE("System::Open", m_backend->id());
    m_backend->open();
}

void System::Close() {
    BGAPI2_TRACE("System::Close", m_backend->id());
    m_backend->close();
}

InterfaceList* System::GetInterfaces() {
    BGAPI2_TRACE("System::GetInterfaces", m_backend->id());
    if (!m_backend->isOpen()) {
        throw Exceptions::NotAvailableException("system is not open", "System::GetInterfaces");
    }
    if (!m_backend->hasInterfaceList()) {
        return nullptr;
    }
    MutexLock lock(Backend::listLock());
    if (!m_interfaces) {
        m_interfaces = std::make_unique<InterfaceList>(m_backend);
    }
    return m_interfaces.get();
}

Interface::Interface(std::shared_ptr<Backend::InterfaceBackend> backend)
    : m_backend(std::move(backend)) {}
Interface::~Interface() = default;

String Interface::GetID() {
    return m_backend->id();
}

String Interface::GetDisplayName() {
    BGAPI2_TRACE("Interface::GetDisplayName", m_backend->id());
    return m_backend->displayName();
}

bo_bool Interface::IsOpen() {
    BGAPI2_TRACE("Interface::IsOpen", m_backend->id());
    return m_backend->isOpen();
}

void Interface::Open() {
    BGAPI2_TRACE("Interface::Open", m_backend->id());
    m_backend->open();
}

void Interface::Close() {
    BGAPI2_TRACE("Interface::Close", m_backend->id());
    m_backend->close();
}

DeviceList* Interface::GetDevices() {
    BGAPI2_TRACE("Interface::GetDevices", m_backend->id());
    if (!m_backend->isOpen()) {
        throw Exceptions::NotAvailableException("interface is not open", "Interface::GetDevices");
    }
    if (!m_backend->hasDeviceList()) {
        return nullptr;
    }
    MutexLock lock(Backend::listLock());
    if (!m_devices) {
        m_devices = std::make_unique<DeviceList>(m_backend);
    }
    return m_devices.get();
}

}  // namespace BGAPI2
