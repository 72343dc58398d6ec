#include "EditHistory.h"

void EditHistory::record (const SettingSnapshot& before, const SettingSnapshot& after)
{
    if (before == after)
        return;

    steps.erase (steps.begin() + (std::ptrdiff_t) position, steps.end());
    steps.push_back ({ before, after });

    if (steps.size() > capacity)
        steps.pop_front();

    position = steps.size();
}

const EditHistory::Step* EditHistory::undo()
{
    if (! canUndo())
        return nullptr;
    return &steps[--position];
}

const EditHistory::Step* EditHistory::redo()
{
    if (! canRedo())
        return nullptr;
    return &steps[position++];
}
