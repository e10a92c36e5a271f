#pragma once
// The hourglass pointer. It belongs to the application, not to a window, so
// the widget-free code that reads the database can show it too.

// The hourglass pointer while it lives.
class WaitCursor
{
public:
    WaitCursor();
    ~WaitCursor();
    WaitCursor(const WaitCursor &) = delete;
    WaitCursor &operator=(const WaitCursor &) = delete;
};

// Drops every hourglass pointer: back to the default arrow.
void ResetMousePointer();
