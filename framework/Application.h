// The application object: owns the forms, runs the message loop and shows the
// exceptions that reach it.
#pragma once

#include "framework/Exception.h"
#include "framework/Form.h"
#include "framework/Object.h"
#include "framework/UnicodeString.h"

#include <exception>
#include <memory>
#include <new>
#include <vector>

class TApplication : public TObject {
public:
    TApplication();
    ~TApplication() override;

    // Initialises COM on the calling (GUI) thread as a single-threaded apartment.
    void Initialize();

    // Allocates the form, points the caller's variable at it before its
    // constructor runs, and takes ownership; the first form becomes the main form.
    // When the constructor fails, the variable is set back to null.
    template <class TFormClass>
    void CreateForm(TFormClass*& reference);

    // Shows the main form with the process's show command and dispatches
    // messages until the application is told to end.
    void Run();
    void Terminate();

    void ShowException(const Exception& e);
    // Shows any exception with ShowException, in the words SortCaughtException
    // gives it. Never throws.
    void HandleException(std::exception_ptr e) noexcept;
    // For window procedures: keep the exception to be shown by the message loop
    // once the callback has returned.
    void DeferException(std::exception_ptr e) noexcept;

    TForm* MainForm() const noexcept { return mainForm_; }

    // Kept as the program knows it and set as it always was, but it has no
    // effect here: nothing reads it. The main window is always created without
    // an owner window and carries the taskbar button itself.
    bool MainFormOnTaskBar = false;
    UnicodeString Title;

private:
    void Adopt(std::unique_ptr<TForm> form);
    void ShowDeferredExceptions() noexcept;
    void ShowErrorBox(const UnicodeString& text) noexcept;

    std::vector<std::unique_ptr<TForm>> forms_;
    TForm* mainForm_ = nullptr;
    std::vector<std::exception_ptr> deferred_;
    bool comInitialized_ = false;
    bool terminated_ = false;
};

// Created before the entry function runs; outlives every form.
extern TApplication* Application;

template <class TFormClass>
void TApplication::CreateForm(TFormClass*& reference)
{
    void* memory = ::operator new(sizeof(TFormClass));
    reference = static_cast<TFormClass*>(memory);
    try {
        new (memory) TFormClass(this);
    } catch (...) {
        reference = nullptr;
        ::operator delete(memory);
        throw;
    }
    Adopt(std::unique_ptr<TForm>(reference));
}
