// CTRing: a circular doubly linked ring with a cursor (the head). Every append
// and every search moves the cursor, so the element found last is the head and
// the operations that act on "the element just found" act on the head.
//
// T is the element type itself: it carries `handle` (only the low 32 bits are
// compared), `prev` and `next`. The ring copies elements in with append and
// frees them only in removeHead; it never looks at their payload.
#pragma once
#include <cstdint>
#include <new>

template <class T>
class CTRing {
public:
    CTRing() = default;
    virtual ~CTRing() { clear(); }
    CTRing(const CTRing&) = delete;
    CTRing& operator=(const CTRing&) = delete;

    // Copies `element` into a new node that becomes the head, linked between the
    // former last node and the former head. False when no node could be allocated.
    virtual bool append(const T& element) {
        T* node = new (std::nothrow) T(element);
        if (!node) return false;
        if (!m_head) {
            node->next = node;
            node->prev = node;
            m_count = 1;
        } else {
            ++m_count;
            node->prev = m_head->prev;
            node->next = m_head;
            m_head->prev->next = node;
            m_head->prev = node;
        }
        m_head = node;
        return true;
    }

    // Unlinks and frees the head; its successor becomes the head. 0 on an empty ring.
    int removeHead() {
        if (!m_head) return 0;
        T* old = m_head;
        if (old->next == old) {
            m_count = 0;
            m_head = nullptr;
        } else {
            --m_count;
            old->prev->next = old->next;
            old->next->prev = old->prev;
            m_head = old->next;
        }
        delete old;
        return 1;
    }

    // Frees every node; the payloads the nodes point to are not touched.
    void clear() {
        while (removeHead()) {
        }
    }

    // Move-to-cursor search: on success the found node is the head. A failed
    // search compares every node once and leaves the head at the node that
    // preceded the starting head.
    bool find(uint32_t handle) {
        if (!m_head) return false;
        const uint32_t stop = Key(m_head->prev);
        if (Key(m_head) == handle) return true;
        for (;;) {
            if (Key(m_head) == stop) return false;
            m_head = m_head->next;
            if (Key(m_head) == handle) return true;
        }
    }

    // Whether an element carries `handle`; walks the ring without moving the head.
    bool contains(uint32_t handle) const {
        const T* node = m_head;
        for (int32_t i = 0; node && i < m_count; ++i, node = node->next) {
            if (Key(node) == handle) return true;
        }
        return false;
    }

    // The element of `handle` (now the head), or null.
    T* lookup(uint32_t handle) { return find(handle) ? m_head : nullptr; }

    // Removes the element of `handle`; 0 when the handle is unknown.
    int removeHandle(uint32_t handle) { return find(handle) ? removeHead() : 0; }

    T* head() const { return m_head; }
    int32_t count() const { return m_count; }

protected:
    static uint32_t Key(const T* node) { return static_cast<uint32_t>(node->handle); }

    T* m_head = nullptr;
    int32_t m_count = 0;
};
