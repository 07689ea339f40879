#pragma once

#include <QList>
#include <QMutex>

#include <cstdint>

// Host container kept in every camera object. Plug-ins only construct and
// destroy it.
class CLockedList {
public:
    explicit CLockedList(bool flag) : m_mutex(QMutex::Recursive), m_bFlag(flag) {}

    QList<std::uintptr_t> m_list;
    QMutex m_mutex;
    bool m_bFlag;
};

static_assert(sizeof(QList<std::uintptr_t>) == 8, "host layout needs Qt 5 containers");
static_assert(sizeof(QMutex) == 8, "host layout needs Qt 5 QMutex");
static_assert(sizeof(CLockedList) == 24, "host layout");
