if(PELLION_TSAN)
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
endif()

# Warnings for the system's own code (JUCE's sources are compiled without them).
set(PELLION_WARNINGS -Wall -Wextra -Wnon-virtual-dtor -Wno-unused-parameter)
