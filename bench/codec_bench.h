#pragma once

void RegisterCodecBenchmarks();
