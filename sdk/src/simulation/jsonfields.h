#pragma once

#include <QJsonObject>

#include <cstdint>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

namespace simcam {

// Reads the keys of one JSON object with their types and ranges checked.
// The first problem is kept as "WHERE: what was wrong"; later reads do
// nothing once there is one, so a caller checks ok() at the end.
class JsonFields {
public:
    JsonFields(const QJsonObject& object, std::string where, std::string* error)
        : m_object(object), m_where(std::move(where)), m_error(error) {}

    // Any other key is refused: a mistyped key must not go unnoticed.
    void allowOnly(std::initializer_list<const char*> keys);
    // Absent keys leave *out as it is, unless required.
    void text(const char* key, std::string* out, bool required = false);
    void integer(const char* key, std::int64_t min, std::int64_t max, std::int64_t* out);
    void number(const char* key, double* out);
    void flag(const char* key, bool* out);
    void texts(const char* key, std::vector<std::string>* out);
    // The array under key, each item an object; an absent key gives none.
    std::vector<QJsonObject> objects(const char* key);

    bool has(const char* key) const { return m_object.contains(key); }
    bool ok() const { return m_error->empty(); }
    void fail(const std::string& what);

private:
    bool present(const char* key) const { return ok() && m_object.contains(key); }
    template <typename Item, typename Take>
    std::vector<Item> arrayOf(const char* key, const char* what, Take take);

    QJsonObject m_object;
    std::string m_where;
    std::string* m_error;
};

}  // namespace simcam
