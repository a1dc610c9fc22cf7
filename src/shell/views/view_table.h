// The views the frame opens by command, each made by its factory. Every view
// sets its own window class name (object name) and title.
#pragma once

#include <span>

namespace quorvel::shell {

class ChipNotices;
class ProgramDebug;
class SourceDebug;
class View;
class ViewContext;
class WaveCapture;

// What the frame hands the view factories: the context every view gets, and
// what only a view or two need, which their factories pass to those views'
// constructors.
struct ViewSources {
    ViewContext& context;
    SourceDebug& sourceDebug; // the program window
    WaveCapture& waveCapture; // the logic analyser
    ChipNotices& chipNotices; // the serial, SPI and clock windows
    ProgramDebug& programDebug; // the Variables and Call Stack windows
};

struct ViewEntry {
    int command;
    View* (*create)(const ViewSources& sources);
};

std::span<const ViewEntry> viewTable();

// Factories, each beside its view.
View* createProgramView(const ViewSources& sources);
View* createRegisterView(const ViewSources& sources);
View* createSfrBitView(const ViewSources& sources);
View* createMemoryBitView(const ViewSources& sources);
View* createExternalMemoryView(const ViewSources& sources);
View* createInternalMemoryView(const ViewSources& sources);
View* createEepromView(const ViewSources& sources);
View* createSerialWindow(const ViewSources& sources);
View* createIoWindow(const ViewSources& sources);
View* createIicEepromWindow(const ViewSources& sources);
View* createRtcWindow(const ViewSources& sources);
View* createSpiEepromWindow(const ViewSources& sources);
View* createSpiWindow(const ViewSources& sources);
View* createLedView(const ViewSources& sources);
View* createKeyboardView(const ViewSources& sources);
View* createLcdWindow(const ViewSources& sources);
View* createLogicAnalyserView(const ViewSources& sources);
View* createVariablesView(const ViewSources& sources);
View* createCallStackView(const ViewSources& sources);

} // namespace quorvel::shell
