# Sourced by serve-load.sh and serve-hostile.sh: the tools both need, a
# scratch folder and the servers stopped at the end, the request both time,
# and nginx serving its answer as a static file.

# begin_run SCRIPT: exits when wrk or nginx is missing; else makes $tmp, and
# on exit stops the servers whose ids server_pid, other_pid and nginx_pid
# hold and removes it.
begin_run() {
  for tool in wrk nginx; do
    command -v "$tool" > /dev/null || command -v "/usr/sbin/$tool" > /dev/null ||
      { echo "$1: $tool not found (Debian: apt-get install wrk nginx-light)" >&2; exit 2; }
  done
  nginx_bin=$(command -v nginx || echo /usr/sbin/nginx)
  tmp=$(mktemp -d)
  server_pid="" other_pid="" nginx_pid=""
  trap cleanup EXIT
}
cleanup() {
  local pid
  for pid in "$server_pid" "$other_pid" "$nginx_pid"; do
    [[ -n "$pid" ]] && kill "$pid" 2> /dev/null || true
  done
  wait 2> /dev/null || true
  rm -rf "$tmp"
}

# The port a server tells in its log $1.
port_of() {
  for _ in $(seq 100); do grep -q "listening on" "$1" && break; sleep 0.1; done
  sed -n 's|.*listening on http://127.0.0.1:\([0-9]*\)/|\1|p' "$1"
}

query="text=%EC%84%9C%EC%9A%B8%ED%8A%B9%EB%B3%84%EC%8B%9C%20%EA%B0%95%EB%82%A8%EA%B5%AC%20%ED%85%8C%ED%97%A4%EB%9E%80%EB%A1%9C%20152%2C%203%EC%B8%B5&style=official"

# start_nginx URL: nginx on a free port, as configured for a site, serving
# what URL answers as /convert.json; sets nginx_port and nginx_pid.
start_nginx() {
  mkdir -p "$tmp/www"
  python3 -c "import urllib.request,sys; sys.stdout.buffer.write(urllib.request.urlopen(sys.argv[1]).read())" "$1" \
    > "$tmp/www/convert.json"
  nginx_port=$(python3 -c "import socket; s=socket.socket(); s.bind(('127.0.0.1',0)); print(s.getsockname()[1])")
  cat > "$tmp/nginx.conf" << CONF
daemon off;
worker_processes auto;
pid $tmp/nginx.pid;
error_log $tmp/nginx-error.log;
events { worker_connections 1024; }
http {
  access_log off;
  default_type application/json;
  client_body_temp_path $tmp; proxy_temp_path $tmp; fastcgi_temp_path $tmp; uwsgi_temp_path $tmp; scgi_temp_path $tmp;
  server { listen 127.0.0.1:$nginx_port; root $tmp/www; }
}
CONF
  "$nginx_bin" -c "$tmp/nginx.conf" -p "$tmp" &
  nginx_pid=$!
  sleep 0.5
}
