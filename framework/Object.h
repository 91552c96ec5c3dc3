// The common base of the framework's components and the event types they raise.
#pragma once

#include <functional>

class TObject {
public:
    TObject() = default;
    TObject(const TObject&) = delete;
    TObject& operator=(const TObject&) = delete;
    virtual ~TObject() = default;
};

// What happens to a form after its close event: nothing, hidden, minimised.
enum class TCloseAction { caNone, caHide, caMinimize };

using TNotifyEvent = std::function<void(TObject* sender)>;
using TCloseEvent = std::function<void(TObject* sender, TCloseAction& action)>;
