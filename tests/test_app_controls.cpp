// Control state objects and the scripted host's timers: the parts the
// window's behaviour and the bindings rely on.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/bindings.h"
#include "app/controls.h"
#include "support/scripted_host.h"

namespace {

using Lines = std::vector<std::string>;

TEST(Memo, LineBreaksInsideAnEntryBecomeLines) {
    TForm form;
    TMemo memo{&form, "memo"};
    memo.Lines.Add("one");
    memo.Lines.Add("Tuning failed!\r\n\r\nAborted!");
    memo.Lines.Add("tail\r\n");
    EXPECT_EQ(memo.Lines.lines(), (Lines{"one", "Tuning failed!", "", "Aborted!", "tail", ""}));
    EXPECT_EQ(memo.Lines.Text(), "one\r\nTuning failed!\r\n\r\nAborted!\r\ntail\r\n\r\n");
    memo.setText("header\r\n" + memo.Lines.Text());
    EXPECT_EQ(memo.Lines.Count(), 7);  // a final line break adds no line
    EXPECT_EQ(memo.Lines[0], "header");
    EXPECT_EQ(memo.Text(), "header\r\none\r\nTuning failed!\r\n\r\nAborted!\r\ntail\r\n");
    memo.setText("a\nb\rc");
    EXPECT_EQ(memo.Lines.lines(), (Lines{"a", "b", "c"}));
    memo.setText("");
    EXPECT_EQ(memo.Lines.Count(), 0);
}

TEST(Memo, AppendsKeepTheGenerationOtherEditsChangeIt) {
    TForm form;
    TMemo memo{&form, "memo"};
    uint64_t g = memo.Lines.generation(), r = memo.revision();
    memo.Lines.Add("a");
    memo.Lines.Add("b");
    EXPECT_EQ(memo.Lines.generation(), g);
    EXPECT_GT(memo.revision(), r);
    for (auto edit : {+[](TMemo& m) { m.Lines.Clear(); }, +[](TMemo& m) { m.Lines.Insert(0, "x"); },
                      +[](TMemo& m) { m.Lines.Delete(0); }, +[](TMemo& m) { m.setText("y"); },
                      +[](TMemo& m) { m.Lines.setLine(0, "z"); }}) {
        memo.Lines.Add("filler");
        g = memo.Lines.generation();
        edit(memo);
        EXPECT_NE(memo.Lines.generation(), g);
    }
}

TEST(Controls, ChangesBumpTheRevisionOnlyWhenAValueChanges) {
    TForm form;
    TEdit edit{&form, "Edit1"};
    int notified = 0;
    edit.onChange = [&](Control&) { ++notified; };
    edit.Text = "12";
    edit.Text = "12";
    edit.Enabled = true;  // already true
    edit.Enabled = false;
    EXPECT_EQ(notified, 2);
    EXPECT_EQ(edit.revision(), 2u);
    EXPECT_TRUE(edit.Text == "12");
    EXPECT_EQ("COM" + edit.Text, "COM12");
    EXPECT_EQ(form.FindComponent("Edit1"), &edit);
    EXPECT_EQ(form.FindComponent("Edit2"), nullptr);
}

TEST(NameValueGrid, RowsAreFoundByKeyText) {
    TForm form;
    TValueListEditor grid{&form, "vleE2P"};
    for (int i = 0; i < 3; ++i) grid.Strings.Add(std::to_string(i) + "=0");
    grid.setValue("1", "255");
    grid.setValue("7", "9");
    EXPECT_EQ(grid.Values("1"), "255");
    EXPECT_EQ(grid.Values("7"), "9");
    EXPECT_EQ(grid.Values("5"), "");
    EXPECT_EQ(grid.Strings[1], "1=255");
    EXPECT_EQ(grid.FindKey("7"), 3);
    EXPECT_EQ(grid.RowCount(), 5);
}

// ---- the scripted host's timers ---------------------------------------------

TEST(ScriptedTimers, TicksFollowVirtualTimeAndNeverOverlap) {
    ScriptedHost host;
    TForm form;
    TTimer slow{&form, "slow", 1000, false};
    TTimer fast{&form, "fast", 100, false};
    host.registerTimer(slow);
    host.registerTimer(fast);
    int slowTicks = 0, fastTicks = 0, depth = 0, deepest = 0;
    slow.OnTimer = [&] {
        ++slowTicks;
        deepest = std::max(deepest, ++depth);
        if (slowTicks == 1) host.sleep(2500);  // a long tick: other timers go on, this one waits
        --depth;
    };
    fast.OnTimer = [&] { ++fastTicks; };
    slow.Enabled = true;
    fast.Enabled = true;
    host.sleep(4000);
    EXPECT_EQ(host.elapsedMs(), 4000u);
    EXPECT_EQ(fastTicks, 40);
    EXPECT_EQ(slowTicks, 2);  // at 1000 (running till 3500), then one for the ticks it missed
    EXPECT_EQ(deepest, 1);
    fast.Enabled = false;
    host.sleep(1000);
    EXPECT_EQ(fastTicks, 40);
    host.unregisterTimer(slow);
    host.unregisterTimer(fast);
}

TEST(ScriptedTimers, EnablingOrANewIntervalStartsAFreshInterval) {
    ScriptedHost host;
    TForm form;
    TTimer timer{&form, "t", 1000, true};
    host.registerTimer(timer);
    std::vector<uint64_t> at;
    timer.OnTimer = [&] { at.push_back(host.elapsedMs()); };
    host.sleep(700);
    timer.Interval = 300;  // restarts: due at 1000
    host.sleep(700);       // ticks at 1000 and 1300
    timer.Enabled = false;
    host.sleep(100);
    timer.Enabled = true;  // due at 1800
    host.sleep(400);
    EXPECT_EQ(at, (std::vector<uint64_t>{1000, 1300, 1800}));
    host.unregisterTimer(timer);
}

TEST(ScriptedTimers, ProcessMessagesServesDueWorkOnce) {
    ScriptedHost host;
    TForm form;
    TTimer timer{&form, "t", 100, true};
    host.registerTimer(timer);
    int ticks = 0;
    std::vector<std::string> order;
    timer.OnTimer = [&] { ++ticks; };
    host.post([&] { order.push_back("posted"); });
    host.at(50, [&] { order.push_back("at 50"); });
    host.processMessages();
    EXPECT_EQ(order, std::vector<std::string>{"posted"});
    EXPECT_EQ(ticks, 0);
    host.sleep(1000);  // the action and ten ticks fall due on the way
    EXPECT_EQ(order, (std::vector<std::string>{"posted", "at 50"}));
    EXPECT_EQ(ticks, 10);
    host.unregisterTimer(timer);
}

// The binders' change tracking, with a text as the "widget": what a
// refresh would show and how often it ran.
struct Shown {
    std::string text;
    int refreshes = 0;
};
using Bindings = BindingSet<Shown>;

struct BindingFixture {
    TForm form;
    TEdit edit{&form, "Edit1"};
    TLabel label{&form, "Label1"};
    int scheduled = 0;
    Bindings set{[this] { ++scheduled; }};
    Bindings::Binding* bindText(TEdit& e) {
        return set.bind(e, [&e](Bindings::Binding& b) {
            b.refresh = [&e](Bindings::Binding& self) {
                self.text = e.Text;
                ++self.refreshes;
            };
            return true;
        });
    }
    void flush() {
        set.flush([](Bindings::Binding&) {});
    }
};

TEST(BindingSet, AChangeRefreshesOnceAtTheNextFlushAndOnlyWhenTheControlMovedOn) {
    BindingFixture f;
    Bindings::Binding* b = f.bindText(f.edit);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(f.bindText(f.edit), b);  // bound once
    f.flush();
    EXPECT_EQ(b->refreshes, 1);  // the first showing
    f.scheduled = 0;
    f.edit.Text = "a";
    f.edit.Text = "ab";
    f.edit.Enabled = false;
    EXPECT_EQ(f.scheduled, 1);  // one flush asked for, however many changes
    EXPECT_EQ(b->refreshes, 1);
    f.flush();
    EXPECT_EQ(b->refreshes, 2);
    EXPECT_EQ(b->text, "ab");
    f.flush();
    EXPECT_EQ(b->refreshes, 2);
}

TEST(BindingSet, FedInputIsNotEchoedButALaterChangeIs) {
    BindingFixture f;
    Bindings::Binding* b = f.bindText(f.edit);
    f.flush();
    f.scheduled = 0;
    f.set.feed(*b, [&] { f.edit.Text = "typed"; });
    EXPECT_EQ(f.scheduled, 0);
    f.set.markDirty(*b);  // even when queued, the fed revision counts as shown
    f.flush();
    EXPECT_EQ(b->refreshes, 1);
    f.edit.Text = "typed, then changed by a handler";
    f.flush();
    EXPECT_EQ(b->refreshes, 2);
    EXPECT_EQ(b->text, "typed, then changed by a handler");
}

TEST(BindingSet, TimersAreNotBoundDroppedBindingsLeaveTheQueueDetachUnhooks) {
    BindingFixture f;
    TTimer timer{&f.form, "Timer1"};
    EXPECT_EQ(f.set.bind(timer, [](Bindings::Binding&) { return true; }), nullptr);
    EXPECT_FALSE(timer.onChange);
    // Nothing native to keep up to date: bound, not watched.
    ASSERT_NE(f.set.bind(f.label, [](Bindings::Binding&) { return false; }), nullptr);
    EXPECT_FALSE(f.label.onChange);

    f.bindText(f.edit);
    f.flush();
    f.edit.Text = "queued";
    int dropped = 0;
    f.set.dropIf([&](const Bindings::Binding& x) { return x.control == &f.edit; },
                 [&](Bindings::Binding&) { ++dropped; });
    EXPECT_EQ(dropped, 1);
    EXPECT_EQ(f.set.find(&f.edit), nullptr);
    f.flush();                                                // must not touch the dropped binding
    EXPECT_EQ(std::distance(f.set.begin(), f.set.end()), 1);  // the label's

    ASSERT_NE(f.bindText(f.edit), nullptr);
    EXPECT_TRUE(f.edit.onChange);
    f.set.detach();
    EXPECT_FALSE(f.edit.onChange);
}

}  // namespace
