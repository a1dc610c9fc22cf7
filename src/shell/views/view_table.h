// The views the frame opens by command, each made by its factory. Every view
// sets its own window class name (object name) and title.
#pragma once

#include <span>

namespace quorvel::shell {

class Frame;
class View;

struct ViewEntry {
    int command;
    View* (*create)(Frame& frame);
};

std::span<const ViewEntry> viewTable();

// Factories, each beside its view.
View* createProgramView(Frame& frame);
View* createRegisterView(Frame& frame);
View* createSfrBitView(Frame& frame);
View* createMemoryBitView(Frame& frame);
View* createExternalMemoryView(Frame& frame);
View* createInternalMemoryView(Frame& frame);
View* createEepromView(Frame& frame);
View* createSerialWindow(Frame& frame);
View* createIoWindow(Frame& frame);
View* createIicEepromWindow(Frame& frame);
View* createRtcWindow(Frame& frame);
View* createSpiEepromWindow(Frame& frame);
View* createSpiWindow(Frame& frame);
View* createLedView(Frame& frame);
View* createKeyboardView(Frame& frame);
View* createLcdWindow(Frame& frame);
View* createLogicAnalyserView(Frame& frame);
View* createVariablesView(Frame& frame);
View* createCallStackView(Frame& frame);

} // namespace quorvel::shell
