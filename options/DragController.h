// Drags between the options window's controls, as the form's drag events see them: a drag
// starts once the pointer leaves the drag distance (DragDetect), shows the source's drag icon
// (a cursor) or a drag image (an image list), tells each target when the pointer enters (state 0),
// leaves (1) and moves over it (2), and drops on the target under the pointer when the left
// button is let go. Escape, the right button or a lost capture end the drag without a drop.
#pragma once
#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <vector>

enum DragState : int { dsEnter = 0, dsLeave = 1, dsOver = 2 };

class DragController {
public:
    using OverHandler = std::function<void(HWND source, POINT client, int state)>;
    using DropHandler = std::function<void(HWND source, POINT client)>;

    DragController() = default;
    ~DragController();
    DragController(const DragController&) = delete;
    DragController& operator=(const DragController&) = delete;

    // A control that hears of drags over it and takes drops (drop may be empty).
    void AddTarget(HWND target, OverHandler over, DropHandler drop);
    void ClearTargets() { targets_.clear(); }

    // Called while the left button is down at start (source's client pixels): when the pointer
    // leaves the drag distance before the button goes up, runs the drag to its end and answers
    // true. icon: the cursor shown (nullptr: the arrow); image: a drag image, owned from now on.
    bool Drag(HWND source, POINT start, HCURSOR icon, HIMAGELIST image = nullptr);
    // The same without waiting for the pointer to move (the caller has seen it move already).
    void DragNow(HWND source, POINT start, HCURSOR icon, HIMAGELIST image = nullptr);

    bool Dragging() const { return source_ != nullptr; }
    HWND Source() const { return source_; }
    // The cursor of the running drag (a target's DragOver changes it).
    void SetDragIcon(HCURSOR icon);
    HCURSOR DragIcon() const { return icon_; }

    // Told at the end of every drag, dropped or not, after the drop.
    std::function<void(HWND source)> OnEnd;
    // Told around the whole drag (tool tips wait meanwhile).
    std::function<void(bool running)> OnRunning;

    // The options window's own cursors "FileDrag" and "NoDrop" (shared, never freed).
    static HCURSOR FileDragCursor();
    static HCURSOR NoDropCursor();

private:
    struct Target {
        HWND hwnd;
        OverHandler over;
        DropHandler drop;
    };
    const Target* TargetAt(POINT screen) const;
    void Move(POINT screen);
    void Finish(bool drop, POINT screen);
    void ShowImage(bool show);

    std::vector<Target> targets_;
    HWND source_ = nullptr;
    HCURSOR icon_ = nullptr;
    HIMAGELIST image_ = nullptr;
    bool imageShown_ = false;
    HWND current_ = nullptr;
};
