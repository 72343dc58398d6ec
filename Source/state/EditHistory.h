#pragma once

#include "SettingSnapshot.h"

#include <deque>

/** The window's undo history: every user edit is one step, kept as the setting before and after.
    Recording a step drops the steps that were undone; beyond `capacity` steps the oldest goes.
*/
class EditHistory
{
public:
    struct Step
    {
        SettingSnapshot before, after;
    };

    static constexpr size_t capacity = 200;

    /** Adds a step; a step that changes nothing is not kept. */
    void record (const SettingSnapshot& before, const SettingSnapshot& after);

    /** Moves one step back and returns the step to revert, or nullptr when nothing is left. */
    const Step* undo();

    /** Moves one step forward and returns the step to apply again, or nullptr when nothing is left. */
    const Step* redo();

    bool canUndo() const noexcept { return position > 0; }
    bool canRedo() const noexcept { return position < steps.size(); }
    size_t size() const noexcept { return steps.size(); }

private:
    std::deque<Step> steps;
    size_t position = 0; // steps before it are done, steps from it on were undone
};
