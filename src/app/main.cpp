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
        verola::TNavigatorForm navigator(state, QCoreApplication::applicationFilePath());
        verola::DialogFeedback feedback(&navigator);
        state.feedback = &feedback;
        verola::createBlockConnection(state);
        navigator.show();
        const QStringList arguments = QCoreApplication::arguments();
        if (arguments.size() > 1)
            navigator.openConfiguration(arguments.at(1));
        status = application.exec();
        state.feedback = nullptr;
    }
    return status;
}
