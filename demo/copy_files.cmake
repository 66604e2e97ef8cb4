# Copies the loose files of the demo (sounds, movies) next to its archives, when there are any.
if(EXISTS ${SRC})
  file(COPY ${SRC}/ DESTINATION ${DST})
endif()
