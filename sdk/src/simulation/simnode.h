#pragma once

#include <atomic>
#include <functional>
#include <string>
#include <vector>

#include "../backend.h"

namespace BGAPI2 {
namespace sim {

// A feature of a simulated camera. Accessors left empty are refused with the
// SDK's "not available" failure, as for a feature of the wrong kind.
class SimNode : public Backend::NodeBackend {
public:
    SimNode(std::string name, std::string kind)
        : m_name(std::move(name)), m_kind(std::move(kind)) {}

    std::function<std::string()> onGetString;
    std::function<void(const std::string&)> onSetString;
    std::function<std::int64_t()> onGetInt;
    std::function<double()> onGetDouble;
    std::function<void(double)> onSetDouble;
    std::function<void()> onExecute;
    std::function<std::vector<std::string>()> onEntries;
    double minimum = 0.0;
    double maximum = 0.0;
    const std::atomic<bool>* reachable = nullptr;  // null: always

    std::string name() const override { return m_name; }
    std::string kind() const override { return m_kind; }
    std::string getString() override;
    void setString(const std::string& value) override;
    std::int64_t getInt() override;
    void setInt(std::int64_t value) override;
    double getDouble() override;
    void setDouble(double value) override;
    double getDoubleMin() override;
    double getDoubleMax() override;
    void execute() override;
    std::vector<std::string> enumEntries() override;

private:
    void reach(const char* operation) const;
    [[noreturn]] void refuse(const char* operation) const;
    std::string m_name;
    std::string m_kind;
};

}  // namespace sim
}  // namespace BGAPI2
