// The requests the video-processor thread raises in the other managers' threads: the FPGA
// thread resends the brightness or the output status, the input-source thread recomputes
// its source selection or rewrites an input's EDID. Each request also ends the waiting
// thread's wait, so that it is served at once.
#pragma once

namespace c331_peers {

// Nothing happens while there is no FPGA manager. The brightness request is raised under
// Utils::_bri_set_mutex, as the FPGA thread clears it.
void raise_bri_resend();
void raise_output_resend();
// Nothing happens while there is no input-source manager.
void raise_source_changed();
// Inputs 0..3 only: the request bytes exist for those four. False when refused (another
// input, or no input-source manager).
bool raise_edid_request(int input);
// Ends the FPGA thread's wait, for a request raised without the calls above (the LED
// panel hand-over).
void wake_fpga();

}  // namespace c331_peers
