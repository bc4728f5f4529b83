#pragma once

void RegisterPackBenchmarks();
