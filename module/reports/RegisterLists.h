#pragma once
// A list loaded from the register for a report or a category: kept only when it holds something, so
// that a record without rows has no list rather than an empty one.

namespace kelmo_reports {

// A new list filled by `load`; the list when it holds at least one element, else none. A failing load
// deletes the list and goes on to the caller.
template <class List, class Load>
List* loadedList(Load load) {
    List* list = new List();
    try {
        load(list);
    } catch (...) {
        delete list;
        throw;
    }
    if (list->getCount() > 0) return list;
    delete list;
    return nullptr;
}

// Puts a loaded list in the place of the one held; none loaded leaves the held one.
template <class List>
void keepLoaded(List*& held, List* loaded) {
    if (!loaded) return;
    delete held;
    held = loaded;
}

} // namespace kelmo_reports
