#pragma once

// Held from before the QApplication until the first window is made. On X11 the toolkit loads
// the OpenGL driver then (Mesa's brings LLVM: about 25 MB and 40 ms) for OpenGL windows this
// program never makes: it draws with the processor alone. A choice of the user's stays, and
// the programs started later, such as the browser of a device's page, get the environment the
// program was given.
class WithoutOpenGl
{
public:
    WithoutOpenGl();
    ~WithoutOpenGl();
    WithoutOpenGl(const WithoutOpenGl &) = delete;
    WithoutOpenGl &operator=(const WithoutOpenGl &) = delete;

private:
    bool chosenByUser;
};
