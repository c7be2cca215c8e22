#pragma once
// What the owning lists of named drawing records (layers, layouts) do alike: they hold raw owning
// pointers, refuse a second record of a name, and delete what they hold.
#include "classlib/Afx.h"

namespace namedlist {

template <class T>
using Array = CTypedPtrArray<CPtrArray, T*>;

// The record at the index; outside the array the class library's invalid-argument exception.
template <class T>
T* at(const Array<T>& records, int index) {
    if (index < 0 || index >= records.GetSize()) AfxThrowInvalidArgException();
    return records.GetAt(index);
}

// Appends the record unless one of exactly its name (case counts) is held; true when taken.
template <class T>
bool addUnique(Array<T>& records, T* record) {
    const CString name = record->getName();
    for (int i = 0; i < records.GetSize(); ++i)
        if (records.GetAt(i)->getName() == name) return false;
    records.Add(record);
    return true;
}

// Deletes every record and empties the array.
template <class T>
void deleteAll(Array<T>& records) {
    for (int i = 0; i < records.GetSize(); ++i) delete records.GetAt(i);
    records.RemoveAll();
}

// Offers a new record to the list; one the list refuses, or a failing add leaves behind, is
// deleted, since nobody else holds it.
template <class List, class T>
void addOrDelete(List& list, T* record) {
    BOOL taken = FALSE;
    try {
        taken = list.add(record);
    } catch (...) {
        delete record;
        throw;
    }
    if (!taken) delete record;
}

} // namespace namedlist
