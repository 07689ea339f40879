// The driver object's construction and destruction, and its share of the
// process-wide system list.
#include "camerabaumer.h"

using BGAPI2::Exceptions::IException;

Mutex CCameraBaumer::s_listMutex;
BGAPI2::SystemList* CCameraBaumer::s_pSystemList = nullptr;
int CCameraBaumer::s_nSystemListRefs = 0;
std::map<QString, const CCameraBaumer*> CCameraBaumer::s_claims;

CCameraBaumer::CCameraBaumer(tagQZ_CAMERA_OPTION* option, IPoolCallback* callback)
    : ICameraObject(option, callback), m_pImageProcessor(nullptr), m_pDevice(nullptr) {
    try {
        MutexLock lock(s_listMutex);
        obtainSystemList();
        if (s_pSystemList != nullptr) {
            holdSystemList();
            s_pSystemList->Refresh();
        }
    } catch (IException& ex) {
        REPORT_SDK_EXCEPTION(ex, "CCameraBaumer");
    } catch (...) {
        reportCurrentException("CCameraBaumer");
    }
    try {
        m_pImageProcessor = BGAPI2::ImageProcessor::GetInstance();
    } catch (IException& ex) {
        REPORT_SDK_EXCEPTION(ex, "CCameraBaumer");
    } catch (...) {
        reportCurrentException("CCameraBaumer");
    }
}

// A camera still open is closed first, so that no frame reaches a destroyed
// object. Deleted from inside its own frame callback, the delivery that
// called the host leaves the object alone once the callback returns.
CCameraBaumer::~CCameraBaumer() {
    markGoneInFlight();
    {
        MutexLock lock(m_stateMutex);
        m_bDestroying = true;
        m_turn.notifyChange();  // an event waiting for the turn gives up
        m_turn.take(m_stateMutex);
    }
    try {
        if (state() != DriverState::Closed) {
            closeCamera();
        }
    } catch (...) {
        reportCurrentException("~CCameraBaumer");
    }
    {
        MutexLock lock(m_stateMutex);
        m_left = LeftRequests();
        m_turn.give(m_stateMutex);
    }
    try {
        MutexLock lock(s_listMutex);
        if (!dropSystemListHold()) {
            return;
        }
        try {
            BGAPI2::SystemList::ReleaseInstance();
        } catch (IException& ex) {
            REPORT_SDK_EXCEPTION(ex, "~CCameraBaumer");
        }
        s_pSystemList = nullptr;
    } catch (...) {
        reportCurrentException("~CCameraBaumer");
    }
}

void CCameraBaumer::destroy() {
    if (inOwnDelivery()) {
        MutexLock lock(m_stateMutex);
        if (m_turn.taken(m_stateMutex)) {
            // The holder may be waiting for this callback: it deletes the
            // object once its own work is done.
            m_left.destroy = true;
            m_bDestroying = true;
            m_bOpened = false;
            m_bGrabbing = false;
            m_state = DriverState::Closing;
            markGoneInFlight();
            m_turn.notifyChange();
            return;
        }
        m_bDestroying = true;  // nobody takes the turn from now on
    }
    delete this;
}

// Keeps a list other objects hold when the SDK gives none.
void CCameraBaumer::obtainSystemList() {
    BGAPI2::SystemList* list = BGAPI2::SystemList::GetInstance();
    if (list != nullptr || s_nSystemListRefs == 0) {
        s_pSystemList = list;
    }
}

// Counts this object once among the holders, however often it obtains the list.
void CCameraBaumer::holdSystemList() {
    if (!m_bHoldsSystemList && s_pSystemList != nullptr) {
        m_bHoldsSystemList = true;
        ++s_nSystemListRefs;
    }
}

// True when this object was the last holder: the list is to be released.
bool CCameraBaumer::dropSystemListHold() {
    if (!m_bHoldsSystemList) {
        return false;
    }
    m_bHoldsSystemList = false;
    return --s_nSystemListRefs == 0;
}
