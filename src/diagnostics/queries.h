#pragma once
// STUB: parsing of the diagnostic inputs.
