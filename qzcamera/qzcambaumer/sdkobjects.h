#pragma once

// The shapes every open, close and list step shares. SDK failures reach the
// step's guarded block.

// Opening and closing count an object already in that state as done.
template <typename SdkObject>
bool openIfClosed(SdkObject* object) {
    if (!object->IsOpen()) {
        object->Open();
    }
    return true;
}

template <typename SdkObject>
bool closeIfOpen(SdkObject* object) {
    if (object->IsOpen()) {
        object->Close();
    }
    return true;
}

// A child list, refreshed; null when the SDK gives none.
template <typename List>
List* refreshed(List* list) {
    if (list != nullptr) {
        list->Refresh(100);
    }
    return list;
}
