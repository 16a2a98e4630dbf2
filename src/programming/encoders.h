#pragma once
// STUB: section encoders.
