// Test access to automatic dialog runs: a script text in place of the variable's file, and a hook after each step.
#pragma once

#include "platform/win32/dialog_auto.h"
#include "platform/win32/dialog_local.h"

// A script text replacing the variable's file; null: none.
inline void Win32DialogSetScript(const char* text)
{
    DialogSeams().hasScriptText = text != nullptr;
    DialogSeams().scriptText = text != nullptr ? text : "";
}

// Sets the step hook (Win32DialogStepHook); null removes it.
inline void Win32DialogSetStepHook(Win32DialogStepHook hook, void* user)
{
    DialogSeams().stepHook = hook;
    DialogSeams().stepUser = user;
}
