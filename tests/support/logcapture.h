#pragma once

#include <QtGlobal>

#include <functional>
#include <mutex>
#include <string>
#include <vector>

// Captures Qt log lines with their context while alive.
class LogCapture {
public:
    struct Line {
        QtMsgType type;
        std::string text;
        std::string file;
        int line;
        std::string function;
    };

    LogCapture();
    ~LogCapture();
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    std::vector<Line> lines() const;
    std::vector<Line> lines(QtMsgType type) const;
    // Lines of this type whose text contains the fragment.
    std::vector<Line> matching(QtMsgType type, const std::string& fragment) const;
    void clear();
    // Runs on the logging thread after each line is kept, for tests that
    // must catch a thread at a known point.
    void setOnLine(std::function<void(const Line&)> hook);

private:
    static void handler(QtMsgType type, const QMessageLogContext& context, const QString& text);
    mutable std::mutex m_mutex;
    std::vector<Line> m_lines;
    std::function<void(const Line&)> m_onLine;
    QtMessageHandler m_previous;
};
