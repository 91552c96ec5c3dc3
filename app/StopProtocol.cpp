#include "app/StopProtocol.h"

namespace stop_protocol {

Step Next(Stage stage, Event event, Duration inStage) noexcept
{
    if (stage == Stage::Saved)
        return {Stage::Saved, event == Event::QuitPressed || (event == Event::Tick && inStage >= SavedNotice)
                                  ? Effect::EndProcess
                                  : Effect::None};
    switch (event) {
    case Event::StopPressed:
        if (stage == Stage::Running)
            return {Stage::Asking, Effect::AskLibrary};
        return {stage == Stage::SaveFailed ? Stage::CannotStop : stage, Effect::None};
    case Event::SavePressed:
        // The button shows only where a stop is not safe, or a box of the library's waits.
        return {stage, stage == Stage::Asking || stage == Stage::Forcing || stage == Stage::Stopped
                           ? Effect::None
                           : Effect::SaveProgram};
    case Event::QuitPressed:
        return {stage, Effect::None};
    case Event::LibraryTookNote:
        return {stage, Effect::None};
    case Event::LibraryCannotBeAsked:
        return stage == Stage::Asking ? Step{Stage::Forcing, Effect::Force} : Step{stage, Effect::None};
    case Event::Forced:
        return {Stage::Stopped, Effect::None};
    case Event::NotForced:
        return {stage == Stage::Forcing && inStage >= ForceTrial ? Stage::CannotStop : stage, Effect::None};
    case Event::Saved:
        return {Stage::Saved, Effect::None};
    case Event::NotSaved:
        return {Stage::SaveFailed, Effect::None};
    case Event::Tick:
        break;
    }
    switch (stage) {
    case Stage::Asking:
        return inStage >= StopQAVInterfaceGrace ? Step{Stage::Forcing, Effect::Force} : Step{stage, Effect::None};
    case Stage::Forcing:
    case Stage::CannotStop:
    case Stage::SaveFailed:
        // Where a stop was asked for, it is tried again and again: the thread may come back to the library's code.
        return {stage, Effect::Force};
    case Stage::Stopped:
        // Sent back, yet still in the call: the stop did not take.
        return {inStage >= StoppedReturn ? Stage::CannotStop : stage, Effect::None};
    case Stage::Running:
    case Stage::Saved:
        break;
    }
    return {stage, Effect::None};
}

Display Show(Stage stage, bool libraryBoxShown) noexcept
{
    switch (stage) {
    case Stage::Running:
        return libraryBoxShown ? Display{Shown::WaitingBox, true} : Display{Shown::Running, false};
    case Stage::Asking:
    case Stage::Forcing:
    case Stage::Stopped:
        return {Shown::Stopping, false};
    case Stage::CannotStop:
        return {libraryBoxShown ? Shown::WaitingBox : Shown::CannotStop, true};
    case Stage::SaveFailed:
        return {Shown::Unchanged, true};
    case Stage::Saved:
        return {Shown::Unchanged, false};
    }
    return {Shown::Unchanged, false};
}

} // namespace stop_protocol
