#include "capture/frame_queue.h"

#include <new>

namespace tc::capture {

bool CreateFrameQueue(FrameQueue& queue, size_t frameBytes, int slotCount) {
  if (slotCount < 1 || slotCount > FrameQueue::kMaxSlots) return false;
  queue.storage.reset(new (std::nothrow) uint8_t[frameBytes * static_cast<size_t>(slotCount)]);
  if (!queue.storage) return false;
  queue.frameBytes = frameBytes;
  queue.slotCount = slotCount;
  queue.consumeAt = 0;
  queue.filled = 0;
  queue.closed = false;
  queue.aborted = false;
  return true;
}

void SubmitSlot(FrameQueue& queue) {
  {
    std::lock_guard<std::mutex> lock(queue.mutex);
    ++queue.filled;
  }
  queue.changed.notify_all();
}

void CloseFrameQueue(FrameQueue& queue) {
  {
    std::lock_guard<std::mutex> lock(queue.mutex);
    queue.closed = true;
  }
  queue.changed.notify_all();
}

uint8_t* AcquireFilledSlot(FrameQueue& queue) {
  std::unique_lock<std::mutex> lock(queue.mutex);
  queue.changed.wait(lock, [&queue] { return queue.aborted || queue.filled > 0 || queue.closed; });
  if (queue.aborted || queue.filled == 0) return nullptr;
  return queue.storage.get() + static_cast<size_t>(queue.consumeAt) * queue.frameBytes;
}

void ReleaseSlot(FrameQueue& queue) {
  {
    std::lock_guard<std::mutex> lock(queue.mutex);
    queue.consumeAt = (queue.consumeAt + 1) % queue.slotCount;
    --queue.filled;
  }
  queue.changed.notify_all();
}

void AbortFrameQueue(FrameQueue& queue) {
  {
    std::lock_guard<std::mutex> lock(queue.mutex);
    queue.aborted = true;
  }
  queue.changed.notify_all();
}

}  // namespace tc::capture
