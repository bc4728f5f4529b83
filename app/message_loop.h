#pragma once

// Dispatches the thread's messages until the quit message; returns its code.
int RunMessageLoop();
