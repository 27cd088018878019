// The publisher's client script, loaded by the launcher into every document of the game window.
(function () {
  if (document.getElementById("orvel-client-badge")) return;
  var badge = document.createElement("div");
  badge.id = "orvel-client-badge";
  badge.textContent = "orvelclient.js loaded";
  badge.style.cssText = "position:fixed;left:12px;bottom:12px;z-index:99999;padding:4px 10px;" +
    "border-radius:12px;background:#1f7a3a;color:#fff;font:bold 12px Arial,sans-serif;" +
    "box-shadow:0 2px 8px rgba(0,0,0,.4)";
  (document.body || document.documentElement).appendChild(badge);
  console.log("orvelclient.js loaded into " + location.href);
})();
