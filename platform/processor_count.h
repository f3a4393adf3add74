#pragma once
// How many processors this process may run on (its affinity, not the
// machine's count): work is split across threads only when there are two.

unsigned UsableProcessorCount();
