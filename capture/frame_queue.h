// Frames on their way from the renderer to the encoder: a fixed set of W x H x 4 byte slots,
// allocated once, handed back and forth between one producer (the render loop) and one consumer
// (the thread that feeds the encoder). The producer waits only when every slot is still queued,
// so no frame is ever dropped; the consumer waits only while the renderer has nothing new.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>

namespace tc::capture {

struct FrameQueue {
  static constexpr int kMaxSlots = 8;
  std::unique_ptr<uint8_t[]> storage;
  size_t frameBytes = 0;
  int slotCount = 0;
  // Slots in a ring: [consumeAt, consumeAt + filled) hold frames, the rest are free.
  int consumeAt = 0;
  int filled = 0;
  bool closed = false;   // the producer has submitted its last frame
  bool aborted = false;  // either side gave up: every wait returns at once
  std::mutex mutex;
  std::condition_variable changed;
};

// False when the memory cannot be had.
bool CreateFrameQueue(FrameQueue& queue, size_t frameBytes, int slotCount);

// Producer: a free slot to fill, waiting while all are queued; nullptr once aborted or when
// `stopRequested()` turns true during the wait.
template <class StopRequested>
uint8_t* AcquireFreeSlot(FrameQueue& queue, StopRequested stopRequested);
// Producer: hands the slot from AcquireFreeSlot to the consumer.
void SubmitSlot(FrameQueue& queue);
// Producer: no more frames will come.
void CloseFrameQueue(FrameQueue& queue);

// Consumer: the oldest queued frame, waiting for one; nullptr once the queue is closed and empty,
// or aborted.
uint8_t* AcquireFilledSlot(FrameQueue& queue);
// Consumer: the frame from AcquireFilledSlot is written out; its slot is free again.
void ReleaseSlot(FrameQueue& queue);

// Either side: stop both.
void AbortFrameQueue(FrameQueue& queue);

template <class StopRequested>
uint8_t* AcquireFreeSlot(FrameQueue& queue, StopRequested stopRequested) {
  std::unique_lock<std::mutex> lock(queue.mutex);
  // Short waits, so that a signal that arrives while the encoder is behind is seen promptly.
  while (!queue.aborted && queue.filled == queue.slotCount) {
    if (stopRequested()) return nullptr;
    queue.changed.wait_for(lock, std::chrono::milliseconds(50));
  }
  if (queue.aborted) return nullptr;
  const int slot = (queue.consumeAt + queue.filled) % queue.slotCount;
  return queue.storage.get() + static_cast<size_t>(slot) * queue.frameBytes;
}

}  // namespace tc::capture
