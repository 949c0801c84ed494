// What a desktop's channel raises when it tells of a change (a report arrived, the channel came
// or went): a descriptor that becomes readable, for the docking tick to wait on while it rests
// (Host::NextChangeDescriptor).
#pragma once

namespace desktop {

class ChangeSignal {
  public:
    ChangeSignal();
    ~ChangeSignal();
    ChangeSignal(const ChangeSignal&) = delete;
    ChangeSignal& operator=(const ChangeSignal&) = delete;

    // A change came: the descriptor is readable until the next Rearm.
    void Raise();
    // Clears what was raised; the descriptor, readable at the next Raise (-1 without one).
    int Rearm();

  private:
    int fd_;
};

}  // namespace desktop
