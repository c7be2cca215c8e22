#pragma once
// The class library's arrays. An index out of range throws CInvalidArgException*.
#include <algorithm>
#include <utility>
#include <vector>

#include "classlib/CString.h"
#include "classlib/Exceptions.h"
#include "classlib/Object.h"

template <class TYPE, class ARG_TYPE = const TYPE&>
class CArray : public CObject {
public:
    CArray() = default;
    CArray(const CArray&) = delete;
    CArray& operator=(const CArray&) = delete;

    INT_PTR GetSize() const { return static_cast<INT_PTR>(m_data.size()); }
    INT_PTR GetCount() const { return GetSize(); }
    BOOL IsEmpty() const { return m_data.empty() ? TRUE : FALSE; }
    INT_PTR GetUpperBound() const { return GetSize() - 1; }

    // Elements beyond the old size are value-initialised; `growBy` is how many slots a growth adds at least.
    void SetSize(INT_PTR newSize, INT_PTR growBy = -1) {
        if (newSize < 0) AfxThrowInvalidArgException();
        if (growBy >= 0) m_growBy = growBy;
        reserveFor(newSize);
        m_data.resize(static_cast<size_t>(newSize));
    }
    void FreeExtra() { m_data.shrink_to_fit(); }
    void RemoveAll() { m_data.clear(); }

    const TYPE& GetAt(INT_PTR index) const { return m_data[checked(index)]; }
    void SetAt(INT_PTR index, ARG_TYPE element) { m_data[checked(index)] = element; }
    TYPE& ElementAt(INT_PTR index) { return m_data[checked(index)]; }
    const TYPE& ElementAt(INT_PTR index) const { return m_data[checked(index)]; }
    TYPE& operator[](INT_PTR index) { return ElementAt(index); }
    const TYPE& operator[](INT_PTR index) const { return GetAt(index); }
    TYPE* GetData() { return m_data.empty() ? nullptr : m_data.data(); }
    const TYPE* GetData() const { return m_data.empty() ? nullptr : m_data.data(); }

    INT_PTR Add(ARG_TYPE element) {
        TYPE copy(element); // the argument may refer into this array
        reserveFor(GetSize() + 1);
        m_data.push_back(std::move(copy));
        return GetSize() - 1;
    }
    // Grows the array when `index` lies beyond its end.
    void SetAtGrow(INT_PTR index, ARG_TYPE element) {
        if (index < 0) AfxThrowInvalidArgException();
        TYPE copy(element);
        if (index >= GetSize()) SetSize(index + 1);
        m_data[static_cast<size_t>(index)] = std::move(copy);
    }
    // Inserting beyond the end grows the array to hold the new elements at `index`.
    void InsertAt(INT_PTR index, ARG_TYPE element, INT_PTR count = 1) {
        if (index < 0 || count <= 0) {
            if (index < 0 || count < 0) AfxThrowInvalidArgException();
            return;
        }
        TYPE copy(element);
        if (index >= GetSize()) {
            SetSize(index + count);
        } else {
            reserveFor(GetSize() + count);
            m_data.insert(m_data.begin() + index, static_cast<size_t>(count), TYPE());
        }
        std::fill_n(m_data.begin() + index, count, copy);
    }
    void RemoveAt(INT_PTR index, INT_PTR count = 1) {
        if (index < 0 || count < 0 || index + count > GetSize()) AfxThrowInvalidArgException();
        m_data.erase(m_data.begin() + index, m_data.begin() + index + count);
    }
    INT_PTR Append(const CArray& other) {
        const INT_PTR old = GetSize();
        if (&other == this) {
            std::vector<TYPE> copy(m_data);
            m_data.insert(m_data.end(), copy.begin(), copy.end());
        } else {
            m_data.insert(m_data.end(), other.m_data.begin(), other.m_data.end());
        }
        return old;
    }
    void Copy(const CArray& other) {
        if (&other != this) m_data = other.m_data;
    }

private:
    size_t checked(INT_PTR index) const {
        if (index < 0 || index >= GetSize()) AfxThrowInvalidArgException();
        return static_cast<size_t>(index);
    }
    void reserveFor(INT_PTR size) {
        if (static_cast<size_t>(size) <= m_data.capacity()) return;
        const INT_PTR step = m_growBy > 0 ? m_growBy : std::max<INT_PTR>(4, GetSize() / 2);
        m_data.reserve(static_cast<size_t>(std::max(size, GetSize() + step)));
    }

    std::vector<TYPE> m_data;
    INT_PTR m_growBy = -1;
};

class CPtrArray : public CArray<void*, void*> {};
class CObArray : public CArray<CObject*, CObject*> {};
class CStringArray : public CArray<CString, const CString&> {
public:
    using CArray::Add;
    INT_PTR Add(LPCTSTR text) { return CArray::Add(CString(text)); }
};

// A pointer array that hands out `TYPE` instead of the base's untyped pointers.
template <class BASE_CLASS, class TYPE>
class CTypedPtrArray : public BASE_CLASS {
    using Base = BASE_CLASS;
    using Elem = std::remove_reference_t<decltype(std::declval<Base&>().ElementAt(0))>;

public:
    TYPE GetAt(INT_PTR index) const { return static_cast<TYPE>(Base::GetAt(index)); }
    TYPE& ElementAt(INT_PTR index) { return reinterpret_cast<TYPE&>(Base::ElementAt(index)); }
    void SetAt(INT_PTR index, TYPE element) { Base::SetAt(index, element); }
    void SetAtGrow(INT_PTR index, TYPE element) { Base::SetAtGrow(index, element); }
    INT_PTR Add(TYPE element) { return Base::Add(element); }
    void InsertAt(INT_PTR index, TYPE element, INT_PTR count = 1) { Base::InsertAt(index, element, count); }
    TYPE operator[](INT_PTR index) const { return GetAt(index); }
    TYPE& operator[](INT_PTR index) { return ElementAt(index); }
};
