// The stop window's decisions, without a window, a thread or a clock.
#include "app/StopProtocol.h"

#include <gtest/gtest.h>

namespace {

using namespace stop_protocol;
using std::chrono::milliseconds;

struct Row {
    Stage stage;
    Event event;
    int inStageMs;
    Stage next;
    Effect effect;
};

const char* Name(Stage s)
{
    constexpr const char* names[] = {"Running", "Asking", "Forcing", "Stopped", "CannotStop", "SaveFailed", "Saved"};
    return names[static_cast<int>(s)];
}

void PrintTo(const Row& r, std::ostream* out)
{
    *out << Name(r.stage) << " event " << static_cast<int>(r.event) << " after " << r.inStageMs << " ms";
}

class StopProtocolStep : public testing::TestWithParam<Row> {};

TEST_P(StopProtocolStep, GoesWhereTheTableSays)
{
    const Row& r = GetParam();
    const Step step = Next(r.stage, r.event, milliseconds(r.inStageMs));
    EXPECT_EQ(Name(step.next), std::string(Name(r.next)));
    EXPECT_EQ(static_cast<int>(step.effect), static_cast<int>(r.effect));
}

const int grace = static_cast<int>(StopQAVInterfaceGrace.count());

INSTANTIATE_TEST_SUITE_P(
    Table, StopProtocolStep,
    testing::Values(
        // Running: time passes; Stop asks the library first.
        Row{Stage::Running, Event::Tick, 5000, Stage::Running, Effect::None},
        Row{Stage::Running, Event::StopPressed, 0, Stage::Asking, Effect::AskLibrary},
        // The library's grace, then force; at once where it cannot be asked.
        Row{Stage::Asking, Event::LibraryTookNote, 0, Stage::Asking, Effect::None},
        Row{Stage::Asking, Event::Tick, grace - 1, Stage::Asking, Effect::None},
        Row{Stage::Asking, Event::Tick, grace, Stage::Forcing, Effect::Force},
        Row{Stage::Asking, Event::LibraryCannotBeAsked, 0, Stage::Forcing, Effect::Force},
        Row{Stage::Asking, Event::StopPressed, 10, Stage::Asking, Effect::None},
        Row{Stage::Asking, Event::SavePressed, 10, Stage::Asking, Effect::None},
        // Forcing: tried every tick for a while, then it is not safe.
        Row{Stage::Forcing, Event::Forced, 0, Stage::Stopped, Effect::None},
        Row{Stage::Forcing, Event::NotForced, 299, Stage::Forcing, Effect::None},
        Row{Stage::Forcing, Event::NotForced, 300, Stage::CannotStop, Effect::None},
        Row{Stage::Forcing, Event::Tick, 100, Stage::Forcing, Effect::Force},
        // Sent back, the call returns; if not, the stop did not take.
        Row{Stage::Stopped, Event::Tick, 999, Stage::Stopped, Effect::None},
        Row{Stage::Stopped, Event::Tick, 1000, Stage::CannotStop, Effect::None},
        // Not safe: still tried, and Save and quit saves.
        Row{Stage::CannotStop, Event::Tick, 5000, Stage::CannotStop, Effect::Force},
        Row{Stage::CannotStop, Event::Forced, 0, Stage::Stopped, Effect::None},
        Row{Stage::CannotStop, Event::NotForced, 5000, Stage::CannotStop, Effect::None},
        Row{Stage::CannotStop, Event::SavePressed, 0, Stage::CannotStop, Effect::SaveProgram},
        Row{Stage::CannotStop, Event::Saved, 0, Stage::Saved, Effect::None},
        Row{Stage::CannotStop, Event::NotSaved, 0, Stage::SaveFailed, Effect::None},
        // A box of the library's own offers Save and quit while running.
        Row{Stage::Running, Event::SavePressed, 0, Stage::Running, Effect::SaveProgram},
        // A failed save: try again, or Stop goes back to trying.
        Row{Stage::SaveFailed, Event::SavePressed, 0, Stage::SaveFailed, Effect::SaveProgram},
        Row{Stage::SaveFailed, Event::StopPressed, 0, Stage::CannotStop, Effect::None},
        Row{Stage::SaveFailed, Event::Tick, 0, Stage::SaveFailed, Effect::Force},
        // Saved: the notice, then the end; Quit ends at once.
        Row{Stage::Saved, Event::Tick, 2999, Stage::Saved, Effect::None},
        Row{Stage::Saved, Event::Tick, 3000, Stage::Saved, Effect::EndProcess},
        Row{Stage::Saved, Event::QuitPressed, 0, Stage::Saved, Effect::EndProcess},
        Row{Stage::Saved, Event::StopPressed, 0, Stage::Saved, Effect::None}));

struct ShowRow {
    Stage stage;
    bool box;
    Shown text;
    bool offersSave;
};

class StopProtocolDisplay : public testing::TestWithParam<ShowRow> {};

TEST_P(StopProtocolDisplay, SaysWhatTheStageIs)
{
    const ShowRow& r = GetParam();
    const Display d = Show(r.stage, r.box);
    EXPECT_EQ(static_cast<int>(d.text), static_cast<int>(r.text)) << Name(r.stage) << " box " << r.box;
    EXPECT_EQ(d.offersSave, r.offersSave) << Name(r.stage) << " box " << r.box;
}

INSTANTIATE_TEST_SUITE_P(Table, StopProtocolDisplay,
                         testing::Values(ShowRow{Stage::Running, false, Shown::Running, false},
                                         ShowRow{Stage::Running, true, Shown::WaitingBox, true},
                                         ShowRow{Stage::Asking, true, Shown::Stopping, false},
                                         ShowRow{Stage::Stopped, false, Shown::Stopping, false},
                                         ShowRow{Stage::CannotStop, false, Shown::CannotStop, true},
                                         ShowRow{Stage::CannotStop, true, Shown::WaitingBox, true},
                                         ShowRow{Stage::SaveFailed, false, Shown::Unchanged, true},
                                         ShowRow{Stage::Saved, true, Shown::Unchanged, false}));

} // namespace
