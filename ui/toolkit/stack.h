// The canvas stack: the open canvases of an interface, routing the frame's update and drawing to them.
//
// Normal canvases are all updated (oldest first) and drawn (newest first, so the oldest is on top of them);
// modal canvases are drawn above them, oldest first, and only the newest is updated, so it alone takes input.
// A canvas may push, remove or toggle canvases, or ask to be closed, from inside its own Update: closing is
// carried out after that update, and a walk over the normal list stops once the list has changed, so no
// canvas is removed while it runs and no removed canvas is visited. The stack holds pointers only; it never
// creates or deletes a canvas. TCanvas is a canvas pointer whose pointee has Update() and Render().
#pragma once

#include <algorithm>
#include <cstdint>
#include <list>

#include "gfx/core/assert.h"

template <typename TCanvas>
class CFerroxStack {
public:
    CFerroxStack() = default;
    CFerroxStack(const CFerroxStack&) = delete;
    CFerroxStack& operator=(const CFerroxStack&) = delete;
    virtual ~CFerroxStack() { Clear(); }

    // After the update of the newest modal canvas, remove it and the modal canvas below it.
    virtual void RequestPopTwo() { m_popTwoRequest = 1; }
    // After the current update, remove the canvas being updated.
    virtual void RequestPop() { m_popRequest = 1; }
    virtual int HasModal() { return m_modal.empty() ? 0 : 1; }
    // Every occurrence of the canvas leaves the normal list.
    virtual void RemoveNormal(TCanvas canvas)
    {
        // A removal changes the list as much as Remove does, so a walk in progress must stop too.
        m_changed = 1;
        m_normal.remove(canvas);
    }
    virtual int IsEmpty() { return m_modal.empty() && m_normal.empty() ? 1 : 0; }
    virtual int Spare() { return 1; }
    virtual int ClearRequests()
    {
        m_popRequest = 0;
        m_popTwoRequest = 0;
        m_changed = 0;
        return 0;
    }
    // Closes the canvas when it stands in the list the modal flag names, else opens it there.
    virtual void Toggle(TCanvas canvas, int modal)
    {
        m_changed = 1;
        const std::list<TCanvas>& list = modal ? m_modal : m_normal;
        if (std::find(list.begin(), list.end(), canvas) != list.end())
            Remove(canvas);
        else
            Push(canvas, modal);
    }
    // A modal canvas becomes the newest modal one; a normal canvas goes to the end of the normal list.
    // Returns the new count of that list.
    virtual int Push(TCanvas canvas, int modal)
    {
        GX_ASSERT(canvas != nullptr, "a canvas is given");
        m_changed = 1;
        if (modal) {
            m_modal.push_front(canvas);
            return static_cast<int>(m_modal.size());
        }
        m_normal.push_back(canvas);
        return static_cast<int>(m_normal.size());
    }
    // Removes the newest modal canvas when it is this one, else every normal occurrence of it; a modal canvas
    // below the newest stays.
    virtual void Remove(TCanvas canvas)
    {
        m_changed = 1;
        if (!m_modal.empty() && m_modal.front() == canvas) {
            m_modal.pop_front();
            return;
        }
        RemoveNormal(canvas);
    }
    virtual void Update()
    {
        if (!m_modal.empty()) {
            UpdateModal();
            return;
        }
        for (auto it = m_normal.begin(); it != m_normal.end(); ++it) {
            TCanvas canvas = *it;
            canvas->Update();
            if (m_popRequest) {
                Remove(canvas);
                m_popRequest = 0;
                return;
            }
            if (m_changed) {
                m_changed = 0;
                return;
            }
        }
    }
    virtual void Render()
    {
        for (auto it = m_normal.rbegin(); it != m_normal.rend(); ++it)
            (*it)->Render();
        for (auto it = m_modal.rbegin(); it != m_modal.rend(); ++it)
            (*it)->Render();
    }
    virtual void Clear()
    {
        // Emptying the lists inside a walk must end that walk as a removal does.
        m_changed = 1;
        m_modal.clear();
        m_normal.clear();
    }

    // True while the canvas stands in either list.
    bool Holds(TCanvas canvas) const
    {
        return std::find(m_modal.begin(), m_modal.end(), canvas) != m_modal.end() ||
               std::find(m_normal.begin(), m_normal.end(), canvas) != m_normal.end();
    }
    // True when the test holds for a canvas of either list.
    template <typename TTest>
    bool AnyCanvas(TTest test) const
    {
        return std::any_of(m_modal.begin(), m_modal.end(), test) || std::any_of(m_normal.begin(), m_normal.end(), test);
    }
    int GetModalCount() const { return static_cast<int>(m_modal.size()); }
    // The newest modal canvas, the one that takes input, or null.
    TCanvas GetTopModal() const { return m_modal.empty() ? nullptr : m_modal.front(); }
    int GetNormalCount() const { return static_cast<int>(m_normal.size()); }
    int IsChanged() const { return m_changed; }

private:
    void UpdateModal()
    {
        TCanvas canvas = m_modal.front();
        canvas->Update();
        if (m_popRequest) {
            Remove(canvas);
            m_popRequest = 0;
            return;
        }
        if (!m_popTwoRequest)
            return;
        // Only modal canvases go: with one open, the second removal finds none and removes nothing.
        for (int i = 0; i < kPopTwoCount && !m_modal.empty(); i++)
            Remove(m_modal.front());
        m_popTwoRequest = 0;
    }

    static constexpr int kPopTwoCount = 2;

    std::list<TCanvas> m_modal;   // newest first
    std::list<TCanvas> m_normal;  // oldest first
    int32_t m_popRequest = 0;
    int32_t m_popTwoRequest = 0;
    int32_t m_changed = 0;
};
