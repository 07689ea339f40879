// The lifecycle turn: who may change the object's state now, and what calls
// from inside the frame callback leave to the thread that has it.
#include <QDebug>

#include "camerabaumer.h"

DriverState CCameraBaumer::state() {
    MutexLock lock(m_stateMutex);
    return m_state;
}

// The end of a step on the same opening: a close left meanwhile from the
// callback stands until it has run.
void CCameraBaumer::settle(DriverState next) {
    if (m_state != DriverState::Closing) {
        m_state = next;
    }
}

// No frame goes to the host from here on.
void CCameraBaumer::markStopped() {
    m_bGrabbing = false;
    if (m_state == DriverState::Grabbing) {
        m_state = DriverState::Open;
    }
}

bool CCameraBaumer::givingUp() const {
    return m_bDestroying || m_state == DriverState::Closing || m_state == DriverState::Closed;
}

bool CCameraBaumer::inOwnDelivery() const {
    for (const FrameInFlight* frame = frameInFlight(); frame != nullptr; frame = frame->outer) {
        if (frame->object == this) {
            return true;
        }
    }
    return false;
}

void CCameraBaumer::markGoneInFlight() const {
    for (FrameInFlight* frame = frameInFlight(); frame != nullptr; frame = frame->outer) {
        if (frame->object == this) {
            frame->objectGone = true;
        }
    }
}

// A host thread waits for the turn. Inside this object's frame callback the
// turn is taken only when free: its holder may be waiting for this callback.
// Then a stop or close is left for the holder, and false says so.
bool CCameraBaumer::enterTurn(Leave leave) {
    MutexLock lock(m_stateMutex);
    if (!inOwnDelivery()) {
        m_turn.take(m_stateMutex);
        return true;
    }
    if (m_bDestroying) {
        return false;
    }
    if (m_turn.tryTake(m_stateMutex)) {
        return true;
    }
    leaveRequest(leave);
    return false;
}

// What the host sees at once; the holder does the rest before it gives the
// turn up.
void CCameraBaumer::leaveRequest(Leave leave) {
    if (leave == Leave::Stop) {
        markStopped();
        m_left.stop = true;
        m_left.stopEpoch = m_nEpoch;
        m_left.stopStarts = m_nSetups;
    } else if (leave == Leave::Close) {
        m_bOpened = false;
        if (m_state != DriverState::Closed) {
            m_state = DriverState::Closing;
            m_left.close = true;
            m_left.closeEpoch = m_nEpoch;
        }
        m_turn.notifyChange();
    }
}

// Runs what callbacks left meanwhile, then gives the turn up. A deletion
// left there deletes the object: this is the last thing a caller does.
void CCameraBaumer::giveTurn() {
    for (;;) {
        LeftRequests left;
        {
            MutexLock lock(m_stateMutex);
            std::swap(left, m_left);
            if (!left.any() || left.destroy) {
                m_turn.give(m_stateMutex);
                if (left.destroy) {
                    break;
                }
                return;
            }
        }
        runLeftRequests(left);
    }
    delete this;  // nobody takes the turn once deletion is under way
}

void CCameraBaumer::runLeftRequests(const LeftRequests& left) {
    bool close = false;
    bool stop = false;
    {
        MutexLock lock(m_stateMutex);
        close = left.close && left.closeEpoch == m_nEpoch && m_state == DriverState::Closing;
        // A host start since makes the stop moot; a reconnection does not.
        stop = left.stop && left.stopEpoch == m_nEpoch && left.stopStarts == m_nSetups &&
               usable(m_state);
    }
    if (close) {
        closeCamera();
    } else if (stop) {
        stopHeld();
    }
}

void CCameraBaumer::refuseInCallback(const char* operation) {
    qWarning() << QString(
                      "Baumer camera(%1): %2 from inside the frame callback is not done while "
                      "another thread changes the camera.")
                      .arg(serial(), QLatin1String(operation))
               << " - " << (QByteArray("CCameraBaumer::") + operation).constData();
}
