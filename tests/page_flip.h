// Page flipping: an animation drawn into one page while another is shown.
#pragma once

int pageFlipTest(int waitRetrace);
