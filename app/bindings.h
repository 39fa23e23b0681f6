// The change tracking that every window front end needs between the
// controls and its native widgets, kept here once so the Qt and the Win32
// window differ only in their toolkit parts. A binding remembers which
// revision of its control it last showed; a control's change marks its
// binding dirty (once until the next flush) and asks the front end for a
// flush; a flush refreshes only bindings whose control moved on. Input
// written back into a control (feed) is taken as seen, so it does not echo.
//
// Native is the front end's own part of a binding (its widget or handle,
// container, place, …); Binding derives from it.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <utility>
#include <vector>

#include "app/controls.h"

template <class Native>
class BindingSet {
public:
    struct Binding : Native {
        Control* control = nullptr;
        uint64_t seenRevision = UINT64_MAX;
        uint64_t seenGeneration = UINT64_MAX;  // a list's lines last shown
        int seenCount = 0;
        bool dirty = false;    // waiting in the flush queue
        bool feeding = false;  // writing user input into the control
        std::function<void(Binding&)> refresh;
    };

    // scheduleFlush: asks the front end to flush soon, from its event loop.
    explicit BindingSet(std::function<void()> scheduleFlush) : scheduleFlush_(std::move(scheduleFlush)) {}
    BindingSet(const BindingSet&) = delete;
    BindingSet& operator=(const BindingSet&) = delete;
    ~BindingSet() { detach(); }

    Binding* find(const Control* control) const {
        auto it = byControl_.find(control);
        return it == byControl_.end() ? nullptr : it->second;
    }

    // Binds a control once: create makes its native part and says whether
    // there is one to keep up to date. Timers get none (the host runs them).
    Binding* bind(Control& control, const std::function<bool(Binding&)>& create) {
        if (Binding* existing = find(&control)) return existing;
        if (dynamic_cast<TTimer*>(&control)) return nullptr;
        Binding& b = add(control);
        if (!create(b)) return &b;
        watch(b);
        markDirty(b);
        return &b;
    }

    // Registers a binding for the control (not yet watched).
    Binding& add(Control& control) {
        auto owned = std::make_unique<Binding>();
        Binding& b = *owned;
        b.control = &control;
        bindings_.push_back(std::move(owned));
        byControl_[&control] = &b;
        return b;
    }

    // The control's changes mark the binding dirty.
    void watch(Binding& b) {
        b.control->onChange = [this, &b](Control&) { markDirty(b); };
    }

    void markDirty(Binding& b) {
        if (b.feeding || b.dirty) return;
        b.dirty = true;
        dirty_.push_back(&b);
        if (scheduleFlush_) scheduleFlush_();
    }

    // Writes user input into the control without echoing it back.
    void feed(Binding& b, const std::function<void()>& write) {
        b.feeding = true;
        write();
        b.feeding = false;
        b.seenRevision = b.control->revision();
    }

    // Refreshes every dirty binding whose control moved on, then runs
    // apply on it; bindings dirtied meanwhile are taken in the same call.
    void flush(const std::function<void(Binding&)>& apply) {
        while (!dirty_.empty()) {
            std::vector<Binding*> batch;
            batch.swap(dirty_);
            for (Binding* b : batch) {
                b->dirty = false;
                if (b->seenRevision == b->control->revision()) continue;
                b->seenRevision = b->control->revision();
                if (b->refresh) b->refresh(*b);
                apply(*b);
            }
        }
    }

    // Drops the bindings whose control is gone (the controls are not
    // touched); dropping runs on each first, to take down its widget.
    void dropIf(const std::function<bool(const Binding&)>& gone, const std::function<void(Binding&)>& dropping) {
        std::set<const Binding*> drop;
        for (auto& b : bindings_)
            if (gone(*b)) drop.insert(b.get());
        if (drop.empty()) return;
        std::erase_if(dirty_, [&](Binding* b) { return drop.count(b) > 0; });
        for (auto& b : bindings_)
            if (drop.count(b.get())) {
                byControl_.erase(b->control);
                dropping(*b);
            }
        std::erase_if(bindings_, [&](const std::unique_ptr<Binding>& b) { return drop.count(b.get()) > 0; });
    }

    // Unhooks every control, for a window going before its form.
    void detach() {
        for (auto& b : bindings_) b->control->onChange = nullptr;
    }

    auto begin() const { return bindings_.cbegin(); }
    auto end() const { return bindings_.cend(); }

private:
    std::function<void()> scheduleFlush_;
    std::vector<std::unique_ptr<Binding>> bindings_;
    std::map<const Control*, Binding*> byControl_;
    std::vector<Binding*> dirty_;
};
