#pragma once

// The entry windows register themselves with the window set.

namespace tavelo {

class Windows;

// "Form1" (model options), "Form2" (stand data), "Form3", "Form4" (density).
void registerEntryScreens(Windows &windows);

} // namespace tavelo
