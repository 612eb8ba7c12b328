// Placeholder until the DirectInput reader lands: no keyboard.
#include "input/input_di.h"

namespace Input {
InputDI::InputDI(uint32_t) {}
InputDI::~InputDI() = default;
bool InputDI::ConnectKeyboard() {
    return false;
}
void InputDI::DisconnectKeyboard() {}
int InputDI::ReadKeyChanges(KeyChange*, int) {
    return 0;
}
std::string InputDI::GetKeyCodeName(int32_t) {
    return std::string();
}
}  // namespace Input
