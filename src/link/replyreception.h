#pragma once
// STUB: pure decoding of received bytes.
