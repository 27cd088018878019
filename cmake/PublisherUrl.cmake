# orvel_publisher_url(<out var> <setting>): the publisher server's address, "scheme://host[:port]",
# from a setting of the form "https://host[:port]", "http://host[:port]" or a bare "host[:port]"
# (which means http). Anything else (a path, user information, another scheme) stops the configure.
function(orvel_publisher_url out setting)
  if(NOT setting MATCHES "^(([A-Za-z]+)://)?([A-Za-z0-9._-]+|\\[[0-9A-Fa-f:.]+\\])(:[0-9]+)?/?$")
    message(FATAL_ERROR "ORVEL_PUBLISHER_HOST is \"${setting}\": give host[:port], http://host[:port] or "
                        "https://host[:port]")
  endif()
  set(host "${CMAKE_MATCH_3}${CMAKE_MATCH_4}")
  set(scheme http)
  if(CMAKE_MATCH_2)
    string(TOLOWER "${CMAKE_MATCH_2}" scheme)
  endif()
  if(NOT scheme MATCHES "^https?$")
    message(FATAL_ERROR "ORVEL_PUBLISHER_HOST: the publisher's server is reached over http or https, not ${scheme}")
  endif()
  set(${out} "${scheme}://${host}" PARENT_SCOPE)
endfunction()
