#include "core/app/processstate.h"
#include "gui/app/dialogfeedback.h"
#include "gui/app/navigatorform.h"
#include "gui/app/verolaapplication.h"

int main(int argc, char* argv[])
{
    verola::VerolaApplication application(argc, argv);
    verola::ProcessState state;
    int status = 0;
    {
        // What the start says (a plug-in library that cannot be loaded) is shown over the
        // main window once it is up.
        verola::DialogFeedback feedback(nullptr);
        feedback.holdMessages();
        state.feedback = &feedback;
        verola::TNavigatorForm navigator(state, QCoreApplication::applicationFilePath());
        feedback.setParentWindow(&navigator);
        verola::createBlockConnection(state);
        navigator.show();
        verola::finishStart(navigator, feedback, QCoreApplication::arguments());
        status = application.exec();
        state.feedback = nullptr;
    }
    return status;
}
