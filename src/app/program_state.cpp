#include "app/program_state.h"

namespace {
std::unique_ptr<ProgramState> &stateHolder()
{
    static std::unique_ptr<ProgramState> state = std::make_unique<ProgramState>();
    return state;
}
} // namespace

ProgramState &programState()
{
    return *stateHolder();
}

void resetProgramState()
{
    stateHolder() = std::make_unique<ProgramState>();
}
