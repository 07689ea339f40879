#include <sstream>

#include "backend.h"
#include "bgapi2_genicam/bgapi2_genicam.hpp"
#include "trace.h"

namespace BGAPI2 {

NodeMap::NodeMap(std::shared_ptr<Backend::DeviceBackend> device) : m_device(std::move(device)) {}
NodeMap::NodeMap(std::shared_ptr<Backend::NodeBackend> enumeration)
    : m_enumeration(std::move(enumeration)) {}
NodeMap::~NodeMap() = default;

namespace {

std::string mapOwner(const std::shared_ptr<Backend::DeviceBackend>& device,
                     const std::shared_ptr<Backend::NodeBackend>& enumeration) {
    return device ? device->id() : enumeration->name();
}

}  // namespace

bo_bool NodeMap::GetNodePresent(const String& name) {
    BGAPI2_TRACE("NodeMap::GetNodePresent", mapOwner(m_device, m_enumeration), name.str());
    if (m_device) {
        return m_device->node(name.str()) != nullptr;
    }
    for (const auto& entry : m_enumeration->enumEntries()) {
        if (entry == name.str()) {
            return true;
        }
    }
    return false;
}

Node* NodeMap::GetNode(const String& name) {
    BGAPI2_TRACE("NodeMap::GetNode", mapOwner(m_device, m_enumeration), name.str());
    return lookUp(name);
}

bo_uint64 NodeMap::GetNodeCount() {
    BGAPI2_TRACE("NodeMap::GetNodeCount", mapOwner(m_device, m_enumeration));
    return m_device ? m_device->nodeCount() : m_enumeration->enumEntries().size();
}

Node* NodeMap::lookUp(const String& name) {
    std::lock_guard<std::mutex> lock(m_cacheMutex);
    for (auto& node : m_cache) {
        if (node->GetName() == name) {
            return node.get();
        }
    }
    if (!m_device) {
        throw Exceptions::NotAvailableException("enumeration entries are not addressable",
                                                "NodeMap::GetNode");
    }
    auto backend = m_device->node(name.str());
    if (!backend) {
        throw Exceptions::NotAvailableException("no feature '" + name.str() + "'",
                                                "NodeMap::GetNode");
    }
    m_cache.push_back(std::make_unique<Node>(backend, m_device->id() + "/" + name.str()));
    return m_cache.back().get();
}

Node::Node(std::shared_ptr<Backend::NodeBackend> backend, String owner)
    : m_backend(std::move(backend)), m_object(std::move(owner)) {}
Node::~Node() = default;

String Node::GetName() {
    return m_backend->name();
}

String Node::GetInterface() {
    BGAPI2_TRACE("Node::GetInterface", m_object.str());
    return m_backend->kind();
}

String Node::GetString() {
    BGAPI2_TRACE("Node::GetString", m_object.str());
    return m_backend->getString();
}

void Node::SetString(const String& value) {
    BGAPI2_TRACE("Node::SetString", m_object.str(), value.str());
    m_backend->setString(value.str());
}

bo_int64 Node::GetInt() {
    BGAPI2_TRACE("Node::GetInt", m_object.str());
    return m_backend->getInt();
}

void Node::SetInt(bo_int64 value) {
    BGAPI2_TRACE("Node::SetInt", m_object.str(), std::to_string(value));
    m_backend->setInt(value);
}

bo_double Node::GetDouble() {
    BGAPI2_TRACE("Node::GetDouble", m_object.str());
    return m_backend->getDouble();
}

void Node::SetDouble(bo_double value) {
    std::ostringstream text;
    text << value;
    BGAPI2_TRACE("Node::SetDouble", m_object.str(), text.str());
    m_backend->setDouble(value);
}

bo_double Node::GetDoubleMin() {
    BGAPI2_TRACE("Node::GetDoubleMin", m_object.str());
    return m_backend->getDoubleMin();
}

bo_double Node::GetDoubleMax() {
    BGAPI2_TRACE("Node::GetDoubleMax", m_object.str());
    return m_backend->getDoubleMax();
}

void Node::Execute() {
    BGAPI2_TRACE("Node::Execute", m_object.str());
    m_backend->execute();
}

NodeMap* Node::GetEnumNodeList() {
    BGAPI2_TRACE("Node::GetEnumNodeList", m_object.str());
    if (m_backend->kind() != "IEnumeration") {
        throw Exceptions::InvalidParameterException("feature is not an enumeration",
                                                    "Node::GetEnumNodeList");
    }
    if (!m_entries) {
        m_entries = std::make_unique<NodeMap>(m_backend);
    }
    return m_entries.get();
}

}  // namespace BGAPI2
