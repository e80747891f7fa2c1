#pragma once
// Puts the app's own accessible interfaces in front of Qt Quick's: text fields that never hand out
// a password (TextFieldAccessible) and windows that show assistive technologies only their topmost
// layer (WindowAccessible).
class AccessibilityFactories
{
public:
    static void install();
};
