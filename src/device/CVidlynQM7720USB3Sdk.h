// CVidlynQM7720USB3Sdk: the QM7720E model. Fixes the identity (product id
// 0x06E0) and the 4896 x 3264 geometry, drives the sensor registers with the
// two-phase register write, and reorders the rows that the sensor's two outputs
// deliver interleaved.
#pragma once
#include "device/CVidlynUSB3Lib.h"

class CVidlynQM7720USB3Sdk : public CVidlynUSB3Lib {
public:
    // Counts the cameras in the system's disk list and opens the first one found.
    CVidlynQM7720USB3Sdk();
    ~CVidlynQM7720USB3Sdk() override;

    int StartCapture() override;
    int StartStream() override;
    int StopStream() override;
    int SetFormat(int x, int y, int width, int height, int subSample) override;
    // A camera just opened has not been given the readout yet: the next SetFormat
    // writes it whatever the subsampling code was before.
    int OpenDevice() override;

    // Two-phase 16-bit register write: address sector, then value sector.
    int WriteSensorRegister(uint16_t address, uint16_t value);
    // Gain 0..1023 and exposure value 1..3335, each sent with the stream held at a
    // frame boundary. 1 when the camera took the value, 0 otherwise.
    int SetGlobalGain(int gain);
    int SetExposure(int value);
    // Last gain sent (0 when none was); last exposure value sent (0 and `value`
    // untouched when none was).
    uint16_t GetGlobalGain();
    int GetExposure(int* value);

    // --- fields, in order ---
    uint8_t* m_staging = nullptr;
    int32_t m_halfWidth = vidlyn::camera::kHalfWidth;
    int32_t m_dualOutput = 1;
    // Written by whichever thread sends gain or exposure (the application's, or the
    // acquisition thread's automatic exposure) and read by the session's getters.
    std::atomic<int32_t> m_globalGainCache{-1};
    std::atomic<int32_t> m_exposureCache{-1};
    int32_t m_subSampleChanged = 1;

protected:
    int ReadFrameIntoSlot(uint8_t* slot) override;
    bool RetriesFailedReads() const override { return true; }

private:
    void ReplaceStaging();
    void FreeStaging();
    // Moves the frame in m_staging into `dst` (reordering dual-output rows).
    void MoveStagedFrame(uint8_t* dst);
};
